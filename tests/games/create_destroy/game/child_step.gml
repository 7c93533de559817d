lived += 1;
show_debug_message("child step " + string(lived));
if (lived == 1) {
  instance_destroy();
  show_debug_message("child goes on after its destroy");
  instance_destroy();
}
