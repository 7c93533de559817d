// Motion: speed and direction follow hspeed and vspeed; a direction wraps into 0..360.
steps = 0;
hspeed = 3;
vspeed = -4;
show_debug_message("motion: " + string(speed) + " " + string(direction));
direction = -90;
show_debug_message("direction -90: " + string(direction) + " " + string(hspeed) + " " + string(vspeed));
direction = 720;
show_debug_message("direction 720: " + string(direction) + " " + string(hspeed));
speed = 0;
// Alarms: no index and an index past the twelve mean alarm 0; values round halves to even.
alarm[12] = 7;
show_debug_message("alarm: " + string(alarm) + " " + string(alarm[0]));
alarm[0] = -1;
alarm[1] = 2.5;
show_debug_message("alarm[1] = 2.5: " + string(alarm[1]));
alarm[1] = 3.5;
show_debug_message("alarm[1] = 3.5: " + string(alarm[1]));
// Flags and switches.
solid = -1;
timeline_running = 0.5;
timeline_loop = 0.6;
show_debug_message("flags: " + string(solid) + " " + string(timeline_running) + " " + string(timeline_loop));
// Image and sprite.
image_blend = -1;
show_debug_message("image_blend: " + string(image_blend));
image_xscale = -2;
show_debug_message("sprite: " + string(sprite_width) + " " + string(sprite_height) + " " + string(sprite_xoffset) + " " + string(image_number));
image_xscale = 1;
image_single = 3;
show_debug_message("image_single 3: " + string(image_index) + " " + string(image_speed) + " " + string(image_single));
image_single = -1;
show_debug_message("image_single -1: " + string(image_speed) + " " + string(image_single));
path_position = 1.5;
show_debug_message("path_position: " + string(path_position));
// The bounding box follows the position at once.
show_debug_message("bbox: " + string(bbox_left) + " " + string(bbox_top) + " " + string(bbox_right) + " " + string(bbox_bottom));
x = 200;
show_debug_message("bbox after x = 200: " + string(bbox_left) + " " + string(bbox_right));
// Depth reads back at once.
depth = 5;
show_debug_message("depth: " + string(depth));
show_debug_message("process: " + string(webgl_enabled) + " " + string(async_load) + " " + string(iap_data) + " " + string(object_index == obj_mover) + " " + string(id));
