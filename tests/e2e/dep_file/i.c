int from_i;
