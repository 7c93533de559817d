where = "dot at x 105";
