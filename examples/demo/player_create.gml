// The player plays by itself until an arrow key is pressed.
autoplay = true;
t = 0;
image_speed = 0.25;
