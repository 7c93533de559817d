show_debug_message("game start in run " + string(run));
