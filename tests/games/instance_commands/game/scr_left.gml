// The first column from -100 whose box meets instance argument0, or -1000 for none.
var i;
for (i = -100; i < 800; i += 1) {
  if (collision_rectangle(i, -1000, i, 1000, argument0, false, false) != -4) return i;
}
return -1000;
