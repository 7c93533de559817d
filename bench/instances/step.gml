x += 1;
if (x > 1008) x = 0;
image_blend = c_white;
