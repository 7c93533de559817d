show_debug_message("room start " + string(me));
