show_debug_message("demo ended: score " + string(score));
