hspeed = 2;
image_speed = 0.1;
