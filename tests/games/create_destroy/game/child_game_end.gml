show_debug_message("child game end");
