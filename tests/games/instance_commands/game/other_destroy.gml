show_debug_message("other destroy");
