int only(int value);
