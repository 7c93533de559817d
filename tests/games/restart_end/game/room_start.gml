show_debug_message("room start in run " + string(run));
