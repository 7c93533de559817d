// 10,000 instances on a fixed grid of places over the room.
for (i = 0; i < 10000; i += 1) {
  instance_create((i * 37) mod 1008, (i * 53) mod 752, obj_mover);
}
