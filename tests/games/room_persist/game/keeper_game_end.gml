show_debug_message("keeper game end");
