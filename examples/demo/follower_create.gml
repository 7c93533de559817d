position = 0;
