int in_unit_a;
