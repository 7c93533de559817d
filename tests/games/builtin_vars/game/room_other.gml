show_debug_message("room_other: room " + string(room) + " caption '" + room_caption + "' instances " + string(instance_count) + " score " + string(score) + " lives " + string(lives));
