autoplay = false;
moved_y += 1;
