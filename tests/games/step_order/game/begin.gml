steps += 1; show_debug_message("begin step " + string(steps));
