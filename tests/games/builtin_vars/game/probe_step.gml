ticks += 1;
if (ticks == 5) {
  show_debug_message("room_speed 0 through variable_local_set");
  variable_local_set("room_speed", 0);
  show_debug_message("room_speed " + string(room_speed));
  room_speed = 60.5;
  show_debug_message("room_speed " + string(room_speed));
}
if (ticks == 6) {
  show_debug_message("working_directory ends in / " + string(string_char_at(working_directory, string_length(working_directory)) == "/"));
  show_debug_message("program_directory ends in / " + string(string_char_at(program_directory, string_length(program_directory)) == "/"));
  show_debug_message("event " + string(event_type) + " " + string(event_number) + " " + string(event_object) + " fps " + string(fps));
  room = room_other;
  show_debug_message("room after the request " + string(room));
}
