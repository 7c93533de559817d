show_debug_message("room end in run " + string(run));
