int from_zero;
