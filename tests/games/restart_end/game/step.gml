show_debug_message("step in run " + string(run));
if (run == 1) game_restart();
else game_end();
show_debug_message("step goes on after the request");
