return "hello, " + argument0;
