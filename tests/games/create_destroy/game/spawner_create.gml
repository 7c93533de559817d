steps = 0;
show_debug_message("spawner create");
made = instance_create(16, 32, obj_child);
show_debug_message("spawner made " + string(made));
