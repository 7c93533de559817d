// The panel over the views: a surface made once (and again if it was lost) with a health bar
// and the score in the demo's font, and a line in the built-in font.
if (!surface_exists(panel)) panel = surface_create(200, 64);
surface_set_target(panel);
draw_clear_alpha(c_black, 0.6);
draw_healthbar(8, 40, 192, 52, (score mod 100), c_black, c_red, c_lime, 0, true, true);
draw_set_font(fnt_demo);
draw_set_colour(c_white);
draw_set_halign(fa_left);
draw_set_valign(fa_top);
draw_text(8, 8, "SCORE " + string(score));
surface_reset_target();
draw_surface(panel, 8, 8);
draw_set_font(-1);
draw_set_colour(c_yellow);
draw_set_halign(fa_center);
draw_text(320, 456, "Arrow keys move, Escape ends");
draw_set_halign(fa_left);
draw_text_transformed_colour(16, 100, "DEMO", 2, 2, 10, c_red, c_yellow, c_lime, c_aqua, 1);
