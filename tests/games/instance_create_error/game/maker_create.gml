made = instance_create(0, 0, obj_made);
show_debug_message("made " + string(made) + ", count " + string(instance_number(obj_made)));
bad = instance_create(0, "a", obj_made);
show_debug_message("a string gives " + string(bad) + ", count " + string(instance_number(obj_made)));
