show_debug_message("child room end");
