show_debug_message("room " + string(room) + " of " + string(room_first) + ".." + string(room_last) + ", " + string(room_width) + "x" + string(room_height) + " at speed " + string(room_speed));
show_debug_message("instances " + string(instance_count) + ": " + string(instance_id[0]) + " " + string(instance_id[2]) + " " + string(instance_id[-1]) + " " + string(instance_id[instance_count]));

// Motion
x = 10;
y = 20;
hspeed = 3;
vspeed = -4;
show_debug_message("speed " + string(speed) + " direction " + string(direction));
direction = -90;
show_debug_message("direction " + string(direction) + " hspeed " + string(hspeed) + " vspeed " + string(vspeed));
direction = 720;
show_debug_message("direction 720 -> " + string(direction));
speed = 0;
bbox_was = bbox_left;
x = 100;
show_debug_message("bbox_left " + string(bbox_was) + " -> " + string(bbox_left));

// Alarms
alarm[12] = 2.5;
show_debug_message("alarm[0] " + string(alarm[0]) + ", alarm " + string(alarm) + ", alarm[3] " + string(alarm[3]));

// Image
image_blend = -1;
show_debug_message("image_blend " + string(image_blend));
image_xscale = -2;
show_debug_message("sprite_width " + string(sprite_width) + " sprite_xoffset " + string(sprite_xoffset) + " sprite_height " + string(sprite_height));
solid = -1;
timeline_running = 0.6;
show_debug_message("solid " + string(solid) + " timeline_running " + string(timeline_running));

// Views and backgrounds
view_xview[9] = 12.5;
view_wport[3] = 2.5;
show_debug_message("view_xview[0] " + string(view_xview[0]) + " view_wport[3] " + string(view_wport[3]) + " view_current " + string(view_current));
background_x = 7;
background_colour = -1;
show_debug_message("background_x[0] " + string(background_x[0]) + " background_color " + string(background_color) + " background_width " + string(background_width));

// Score, captions, input, errors
score = 2.5;
show_debug_message("score " + string(score) + " lives " + string(lives) + " health " + string(health));
caption_score = "Points: ";
show_debug_message(caption_score + string(score) + " " + caption_lives);
keyboard_lastchar = "AB";
show_debug_message("keyboard_lastchar " + keyboard_lastchar);
transition_kind = 4;
show_debug_message("transition_kind " + string(transition_kind));
error_occurred = 0.5;
show_debug_message("error_occurred " + string(error_occurred));
error_occurred = 0.49;
show_debug_message("error_occurred " + string(error_occurred));
room_caption = "Probe";
show_debug_message("room_caption " + room_caption);
ticks = 0;
