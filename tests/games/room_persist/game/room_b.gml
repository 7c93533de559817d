show_debug_message("room_b creation code");
