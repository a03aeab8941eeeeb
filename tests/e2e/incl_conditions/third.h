int from_third;
