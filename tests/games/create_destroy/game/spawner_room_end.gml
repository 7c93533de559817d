show_debug_message("spawner room end");
