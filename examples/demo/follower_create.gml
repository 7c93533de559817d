// Led along the path from its first point, a full round every 600 steps, starting again at the
// end (end action 1).
path_start(pth_loop, path_get_length(pth_loop) / 600, 1, true);
