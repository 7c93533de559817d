// The wall's box spans x 100..115 and y 0..15, but only its right half, x 108..115, is solid.
// The 4-pixel dots at x 97, 101 and 104 lie in the box without touching a solid pixel; the dot
// at 105 reaches 108, and so does the one at 101 scaled by 2. The 8 x 1 bar at (108, 20) lies
// below the box; turned by 90 degrees it points up into the solid half, and at x 104 into the
// transparent half.
show_debug_message(where + " meets the precise wall");
