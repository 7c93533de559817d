hops = 0; show_debug_message("keeper create");
