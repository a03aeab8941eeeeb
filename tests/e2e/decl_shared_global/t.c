int shared;
int tested_only;
