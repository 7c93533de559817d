steps += 1;
