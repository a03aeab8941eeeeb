int from_first;
