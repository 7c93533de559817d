steps = 0;
