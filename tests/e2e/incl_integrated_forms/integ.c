extern int integ_count;
int integ_next(int step);
