show_debug_message("room_a creation code");
