// Led along the path, a full round every 600 steps, turning as it goes.
position = (position + 1 / 600) mod 1;
x = path_get_x(pth_loop, position);
y = path_get_y(pth_loop, position);
image_angle -= 4;
