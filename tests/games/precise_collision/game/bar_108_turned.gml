where = "bar at x 108 turned by 90";
