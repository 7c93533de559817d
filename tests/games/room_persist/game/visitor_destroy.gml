show_debug_message("visitor destroy");
