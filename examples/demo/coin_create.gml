image_speed = 0.2;
