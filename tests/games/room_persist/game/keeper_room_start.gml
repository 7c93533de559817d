show_debug_message("keeper room start, hops " + string(hops));
