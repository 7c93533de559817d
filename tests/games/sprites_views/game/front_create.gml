show_debug_message("front at depth " + string(depth) + ", views " + string(view_enabled));
