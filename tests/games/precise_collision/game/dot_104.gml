where = "dot at x 104";
