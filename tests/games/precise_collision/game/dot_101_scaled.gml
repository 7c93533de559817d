where = "dot at x 101 scaled by 2";
