int in_my_unit;
