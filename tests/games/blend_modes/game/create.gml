// Two surfaces: the inner one is drawn while the outer one is the target.
outer = surface_create(64, 64);
inner = surface_create(32, 32);
show_debug_message("surfaces: " + string(surface_get_width(outer)) + " " + string(surface_get_width(inner)));
