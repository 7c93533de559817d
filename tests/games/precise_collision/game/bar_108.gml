where = "bar at x 108";
