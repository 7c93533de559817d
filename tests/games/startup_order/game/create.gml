global.made += 1; me = global.made; show_debug_message("create " + string(me));
