int integ_level;
