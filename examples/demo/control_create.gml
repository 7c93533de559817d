// Coins: one now and one every second along a fixed list of places, most of them on the
// course the player flies by itself.
next_spot = 0;
spot_x[0] = 285; spot_y[0] = 194;
spot_x[1] = 350; spot_y[1] = 288;
spot_x[2] = 124; spot_y[2] = 127;
spot_x[3] = 45; spot_y[3] = 257;
spot_x[4] = 143; spot_y[4] = 145;
spot_x[5] = 384; spot_y[5] = 250;
spot_x[6] = 262; spot_y[6] = 130;
spot_x[7] = 600; spot_y[7] = 600;
alarm[0] = 1;
panel = -1;
show_debug_message("demo started in room " + string(room) + " of " + string(room_width) + " x " + string(room_height));
