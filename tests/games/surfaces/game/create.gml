steps = 0;
a = surface_create(32, 16);
b = surface_create(16, 16);
show_debug_message("created: " + string(a) + " " + string(b) + " " + string(surface_get_width(a)) + "x" + string(surface_get_height(a)));
surface_set_target(a);
draw_clear_alpha(c_red, 0.5);
surface_reset_target();
show_debug_message("half red: " + string(surface_getpixel_ext(a, 3, 3)) + " " + string(surface_getpixel(a, 31, 15)));
