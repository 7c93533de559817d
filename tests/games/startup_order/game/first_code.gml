show_debug_message("creation code of instance " + string(me));
