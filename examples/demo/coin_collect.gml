score += 10;
show_debug_message("coin at " + string(x) + "," + string(y) + " collected, score " + string(score));
instance_destroy();
