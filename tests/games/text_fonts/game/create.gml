draw_set_font(fnt_pixel);
show_debug_message("pixel font: " + string(string_width("AB")) + " x " + string(string_height("AB")));
draw_set_font(-1);
show_debug_message("built-in font: " + string(string_width("AB")) + " x " + string(string_height("AB")));
