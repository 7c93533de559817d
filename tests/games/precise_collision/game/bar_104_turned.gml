where = "bar at x 104 turned by 90";
