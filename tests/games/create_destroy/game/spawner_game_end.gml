show_debug_message("spawner game end");
