show_debug_message("room creation code");
