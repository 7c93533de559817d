show_debug_message("child destroy");
