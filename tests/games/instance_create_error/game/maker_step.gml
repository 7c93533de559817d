show_debug_message("no step runs after the error");
