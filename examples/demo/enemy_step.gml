// Back and forth between the room's sides, turning slowly.
if (x < 40 || x > room_width - 40) hspeed = -hspeed;
image_angle += 2;
