show_debug_message("step " + string(steps));
