// The frame loop applies the new size over the next frames and resets the device at the end.
steps += 1;
if (steps == 12) {
  show_debug_message("after: " + string(window_get_width()) + "x" + string(window_get_height()));
}
