int from_second;
