starts += 1; show_debug_message("local room start " + string(starts));
