show_debug_message("no more lives for " + string(id));
