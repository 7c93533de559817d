where = "dot at x 96";
