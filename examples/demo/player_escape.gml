show_debug_message("escape pressed");
game_end();
