int from_x;
