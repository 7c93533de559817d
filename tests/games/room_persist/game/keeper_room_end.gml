show_debug_message("keeper room end");
