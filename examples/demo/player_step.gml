// The arrow keys held move the player; until one is pressed it flies a wide figure of eight by
// itself.
t += 1;
dx = keyboard_check(vk_right) - keyboard_check(vk_left);
dy = keyboard_check(vk_down) - keyboard_check(vk_up);
if (keyboard_check(vk_left) || keyboard_check(vk_right) || keyboard_check(vk_up) || keyboard_check(vk_down)) {
  autoplay = false;
}
if (autoplay) {
  dx = cos(t / 60);
  dy = sin(t / 30) * 0.8;
}
if (dx != 0 || dy != 0) {
  image_angle = point_direction(0, 0, dx, dy);
  x = clamp(x + lengthdir_x(3, image_angle), 16, room_width - 16);
  y = clamp(y + lengthdir_y(3, image_angle), 16, 672);
}
