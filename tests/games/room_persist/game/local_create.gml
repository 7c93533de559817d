starts = 0; show_debug_message("local create");
