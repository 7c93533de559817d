// The first step runs in the frame the start-up opened; the paths are drawn in the second, inside
// a frame the frame loop began.
steps += 1;
if (steps == 2) {
  draw_clear(c_black);
  draw_set_colour(c_white);
  var line;
  line = path_add();
  path_set_closed(line, false);
  path_add_point(line, 0.5, 0.5, 100);
  path_add_point(line, 40.5, 0.5, 100);
  draw_path(line, 10.5, 20.5, false);  // starts at (10.5, 20.5): row 20
  draw_path(line, 99, 99, true);       // at its own place: row 0
  draw_path(pth_square, 5.5, 50.5, false);
  show_debug_message("line: " + string(draw_getpixel(30, 20)) + " " + string(draw_getpixel(30, 25)) + " " + string(draw_getpixel(20, 0)) + " " + string(draw_getpixel(20, 99)));
  show_debug_message("square: " + string(draw_getpixel(25, 50)) + " " + string(draw_getpixel(45, 70)) + " " + string(draw_getpixel(25, 70)));
}
