// Every frame draws the whole picture.
draw_clear(c_black);
// A grey band, and over it the colour (100, 50, 0) in each blend mode: normal, add, max, subtract.
draw_set_blend_mode(bm_normal);
draw_set_colour(make_colour_rgb(128, 128, 128));
draw_rectangle(16, 16, 271, 79, false);
// The alpha channel is kept as it is: the subtract mode would take it to 0.
draw_set_colour(make_colour_rgb(100, 50, 0));
draw_set_colour_write_enable(true, true, true, false);
for (i = 0; i < 4; i += 1) {
  draw_set_blend_mode(i);
  draw_rectangle(24 + i * 64, 24, 71 + i * 64, 71, false);
}
draw_set_blend_mode(bm_normal);
draw_set_colour_write_enable(true, true, true, true);
// Nested targets: the inner surface (yellow, a red square in its middle) is drawn on the outer
// one (blue) while the outer one is the target; the outer one lands on the screen twice as large.
surface_set_target(outer);
draw_clear(c_blue);
surface_set_target(inner);
draw_clear(c_yellow);
draw_set_colour(c_red);
draw_rectangle(8, 8, 23, 23, false);
surface_reset_target();
draw_surface(inner, 16, 16);
surface_reset_target();
draw_surface_ext(outer, 320, 16, 2, 2, 0, c_white, 1);
