steps = 0;
// The paths of the game file.
show_debug_message("square: " + path_get_name(pth_square) + " " + string(path_get_length(pth_square)) + " " + string(path_get_number(pth_square)) + " " + string(path_get_closed(pth_square)));
show_debug_message("square at 0.5: " + string(path_get_x(pth_square, 0.5)) + " " + string(path_get_y(pth_square, 0.5)));
show_debug_message("square at 0.0625: " + string(path_get_x(pth_square, 0.0625)) + " speed " + string(path_get_speed(pth_square, 0.0625)));
show_debug_message("curve: " + string(path_get_kind(pth_curve)) + " " + string(path_get_precision(pth_curve)) + " " + string(path_get_closed(pth_curve)) + " " + string(path_get_length(pth_curve)));
show_debug_message("curve at 0.5: " + string(path_get_x(pth_curve, 0.5)) + " " + string(path_get_y(pth_curve, 0.5)));
// A path made by the game.
p = path_add();
path_set_closed(p, false);
path_add_point(p, 0, 0, 100);
path_add_point(p, 100, 0, 50);
show_debug_message("new: " + path_get_name(p) + " " + string(path_get_length(p)) + " " + string(path_get_x(p, 0.25)) + " " + string(path_get_speed(p, 0.25)));
path_insert_point(p, 1, 50, 50, 100);
path_shift(p, 10, 20);
show_debug_message("edited: " + string(path_get_number(p)) + " " + string(path_get_point_x(p, 1)) + " " + string(path_get_point_y(p, 1)) + " " + string(path_get_point_speed(p, 3)));
path_rotate(p, 90);
show_debug_message("rotated: " + string(round(path_get_point_x(p, 0))) + " " + string(round(path_get_point_y(p, 0))));
q = path_duplicate(pth_square);
path_append(q, p);
path_reverse(q);
show_debug_message("copy: " + string(q) + " " + string(path_get_number(q)) + " " + string(path_get_point_x(q, 6)));
path_assign(q, pth_curve);
show_debug_message("assigned: " + string(path_get_kind(q)) + " " + string(path_get_length(q) == path_get_length(pth_curve)));
show_debug_message("deleted: " + string(path_delete(q)) + " " + string(path_exists(q)) + " " + string(path_get_x(q, 0.5)));
