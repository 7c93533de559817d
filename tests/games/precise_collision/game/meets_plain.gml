// The plain wall has no masks: its whole box counts, so the dot at 97 meets it and the one at 96
// (ending at 99) does not.
show_debug_message(where + " meets the plain wall");
