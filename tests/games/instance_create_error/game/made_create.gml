show_debug_message("made create");
