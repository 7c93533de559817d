show_debug_message("steps: " + string(steps));
