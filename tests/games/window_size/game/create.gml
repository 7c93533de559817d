steps = 0;
show_debug_message("start: " + string(window_get_width()) + "x" + string(window_get_height()));
window_set_caption("window size");
show_debug_message("caption: " + window_get_caption() + ", full screen: " + string(window_get_fullscreen()));
window_set_size(800, 600);
