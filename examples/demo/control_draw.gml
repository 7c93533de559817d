// In every view: the path the follower takes and a ring round the player.
draw_set_colour(c_lime);
draw_path(pth_loop, 0, 0, true);
draw_set_colour(c_white);
draw_circle(obj_player.x, obj_player.y, 20, true);
