// The first step runs in the frame the start-up opened; the surfaces are used in the second,
// inside a frame the frame loop began.
steps += 1;
if (steps == 2) {
  surface_set_target(b);
  draw_clear(c_black);
  draw_set_colour(c_lime);
  draw_rectangle(4, 4, 7, 7, false);
  surface_reset_target();
  // b from (4, 4) on lands at (0, 0) of a.
  surface_copy(a, -4, -4, b);
  show_debug_message("copied: " + string(surface_getpixel_ext(a, 0, 0)) + " " + string(surface_getpixel_ext(a, 5, 5)) + " " + string(surface_getpixel_ext(a, 12, 0)));
  surface_copy_part(b, 0, 0, a, 20, 5, 4, 4);
  show_debug_message("copied part: " + string(surface_getpixel(b, 1, 1)) + " " + string(surface_getpixel(b, 5, 5)));
  draw_clear(c_black);
  draw_surface(b, 40, 40);
  show_debug_message("on screen: " + string(draw_getpixel(45, 45)) + " " + string(draw_getpixel(50, 50)));
  surface_save(a, "shots/surface.png");
  surface_free(a);
  show_debug_message("exists: " + string(surface_exists(a)) + " " + string(surface_exists(b)));
}
