show_debug_message("alarm 1 at step " + string(steps));
