show_debug_message("visitor room end");
