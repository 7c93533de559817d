show_debug_message("local destroy");
