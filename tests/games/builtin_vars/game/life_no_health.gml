show_debug_message("no more health for " + string(id));
