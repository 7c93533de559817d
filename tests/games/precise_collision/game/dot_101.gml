where = "dot at x 101";
