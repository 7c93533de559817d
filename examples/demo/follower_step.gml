// Turning as it goes.
image_angle -= 4;
