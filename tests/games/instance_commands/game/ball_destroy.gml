show_debug_message("ball destroy");
