int from_a;
