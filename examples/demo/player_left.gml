autoplay = false;
moved_x -= 1;
