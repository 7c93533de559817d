instance_create(spot_x[next_spot], spot_y[next_spot], obj_coin);
next_spot = (next_spot + 1) mod 8;
alarm[0] = 60;
