// The first step runs in the frame the start-up opened; the shapes are drawn in the second,
// inside a frame the frame loop began.
steps += 1;
if (steps == 2) {
  draw_clear(c_black);
  draw_set_colour(c_red);
  draw_rectangle(10, 10, 20, 20, false);
  show_debug_message("filled rectangle: " + string(draw_getpixel(10, 10)) + " " + string(draw_getpixel(15, 15)) + " " + string(draw_getpixel(20, 20)) + " " + string(draw_getpixel(21, 15)) + " " + string(draw_getpixel(15, 9)));
  show_debug_message("opaque red with alpha: " + string(draw_getpixel_ext(15, 15)));
  draw_set_colour(c_lime);
  draw_rectangle(50, 10, 40, 20, true);
  show_debug_message("outline: " + string(draw_getpixel(40, 15)) + " " + string(draw_getpixel(50, 15)) + " " + string(draw_getpixel(45, 10)) + " " + string(draw_getpixel(45, 20)) + " " + string(draw_getpixel(45, 15)));
  draw_point_colour(60, 5, c_blue);
  show_debug_message("point: " + string(draw_getpixel(60, 5)) + " " + string(draw_getpixel(61, 5)) + " " + string(draw_getpixel(60, 6)));
  draw_set_colour(c_white);
  draw_circle(100, 100, 10, false);
  show_debug_message("circle: " + string(draw_getpixel(100, 100)) + " " + string(draw_getpixel(100, 115)));
  draw_healthbar(0, 30, 99, 39, 75, c_black, $0000FF, $00FF00, 0, false, false);
  var bar;
  bar = draw_getpixel(10, 35);
  show_debug_message("health bar: " + string(colour_get_red(bar)) + " " + string(colour_get_green(bar)) + " " + string(colour_get_blue(bar)) + " " + string(draw_getpixel(90, 35)));
  show_debug_message("make_colour_rgb: " + string(make_colour_rgb(255, 128, 0)) + " " + string(make_colour_rgb(256, 0, 0)));
  show_debug_message("colour_get: " + string(colour_get_red(33023)) + " " + string(colour_get_green(33023)) + " " + string(colour_get_blue(33023)) + " " + string(colour_get_red(-1)) + " " + string(colour_get_red(255.5)));
  show_debug_message("merge_colour: " + string(merge_colour(c_black, c_white, 0.5)) + " " + string(merge_colour(c_red, c_blue, 0)));
  show_debug_message("make_colour_hsv: " + string(make_colour_hsv(0, 255, 255)) + " " + string(make_colour_hsv(85, 255, 255)));
}
