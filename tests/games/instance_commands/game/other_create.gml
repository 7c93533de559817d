show_debug_message("other create");
