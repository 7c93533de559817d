show_debug_message("game start " + string(me));
