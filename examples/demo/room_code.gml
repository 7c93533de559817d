// The ground: a row of grass tiles along the bottom of the room and stone under it.
for (i = 0; i < 60; i += 1) {
  tile_add(bg_tiles, 0, 0, 16, 16, i * 16, 688, 100);
  tile_add(bg_tiles, 32, 0, 16, 16, i * 16, 704, 100);
}
