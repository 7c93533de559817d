global.runs += 1; run = global.runs; show_debug_message("create in run " + string(run));
