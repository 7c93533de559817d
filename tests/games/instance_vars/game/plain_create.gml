// Without a sprite the sizes are 0.
show_debug_message("no sprite: " + string(sprite_width) + " " + string(sprite_xoffset) + " " + string(image_number));
