show_debug_message("local room end");
