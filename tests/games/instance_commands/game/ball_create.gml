show_debug_message("ball create");
