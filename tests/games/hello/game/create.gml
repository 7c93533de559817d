show_debug_message(greet("world"));
