show_debug_message("end step " + string(steps));
