int shared;
int integ_only;
