// Keyboard events came before this step event and left the wanted move in moved_x, moved_y; by
// itself the player flies a wide figure of eight.
t += 1;
dx = moved_x;
dy = moved_y;
if (autoplay) {
  dx = cos(t / 60);
  dy = sin(t / 30) * 0.8;
}
if (dx != 0 || dy != 0) {
  image_angle = point_direction(0, 0, dx, dy);
  x = clamp(x + lengthdir_x(3, image_angle), 16, room_width - 16);
  y = clamp(y + lengthdir_y(3, image_angle), 16, 672);
}
moved_x = 0;
moved_y = 0;
