steps += 1;
show_debug_message("spawner step " + string(steps));
if (steps == 2) {
  made = instance_create(0, 0, obj_child);
  show_debug_message("spawner made " + string(made));
}
if (steps == 3) game_end();
