where = "dot at x 97";
