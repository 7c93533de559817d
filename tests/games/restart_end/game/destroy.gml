show_debug_message("destroy in run " + string(run));
