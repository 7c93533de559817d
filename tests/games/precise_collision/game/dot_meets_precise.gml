// The wall's box spans x 100..115 but only its right half, 108..115, is solid: the 4-pixel dots
// at x 97 and 104 lie in the box without touching a solid pixel; the dot at 105 reaches 108.
show_debug_message(where + " meets the precise wall");
