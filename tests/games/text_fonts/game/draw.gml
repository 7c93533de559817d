// Every frame draws the whole picture.
draw_clear(make_colour_rgb(32, 32, 64));
draw_set_alpha(1);
// The pixel font: plain, then each horizontal alignment about the guide line x = 400.
draw_set_font(fnt_pixel);
draw_set_colour(c_white);
draw_set_halign(fa_left);
draw_set_valign(fa_top);
draw_text(16, 16, "HELLO, WORLD!");
draw_set_colour(c_red);
draw_line(400, 40, 400, 120);
draw_set_colour(c_white);
draw_text(400, 44, "LEFT");
draw_set_halign(fa_center);
draw_text(400, 70, "CENTRE");
draw_set_halign(fa_right);
draw_text(400, 96, "RIGHT");
draw_set_halign(fa_left);
// Wrapping at 150 pixels, lines 22 pixels apart.
draw_text_ext(16, 130, "THE QUICK BROWN FOX JUMPS", 22, 150);
// Scaled twice and turned a quarter turn, and four-colour text.
draw_text_transformed(300, 300, "UP", 2, 2, 90);
draw_text_colour(16, 230, "FOUR COLOURS", c_red, c_lime, c_blue, c_yellow, 1);
// The built-in font, centred on both axes, in yellow.
draw_set_font(-1);
draw_set_colour(c_yellow);
draw_set_halign(fa_center);
draw_set_valign(fa_middle);
draw_text(560, 300, "Built-in font");
draw_set_halign(fa_left);
draw_set_valign(fa_top);
// A white block the size of the pixel font's "A" for a probe of a known colour.
draw_set_font(fnt_pixel);
draw_text_transformed(500, 400, "I", 4, 4, 0);
