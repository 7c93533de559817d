show_debug_message("visitor create");
