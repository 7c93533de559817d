lived = 0; show_debug_message("child create");
