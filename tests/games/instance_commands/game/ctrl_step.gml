steps += 1;
show_debug_message("step " + string(steps) + ": m at " + string(scr_left(m)) + ", balls " + string(instance_number(obj_ball)) + ", others " + string(instance_number(obj_other)));
if (steps == 2) {
  show_debug_message("room_previous " + string(room_previous(0)));
  room_goto(99);
  show_debug_message("after room_goto");
}
