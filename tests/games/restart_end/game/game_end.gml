show_debug_message("game end in run " + string(run));
