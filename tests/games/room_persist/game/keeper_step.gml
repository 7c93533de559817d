hops += 1;
show_debug_message("keeper step " + string(hops));
if (hops == 1) room_goto_next();
else if (hops == 2) room_goto(room_a);
else game_end();
