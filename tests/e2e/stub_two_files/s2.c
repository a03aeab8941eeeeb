struct cfg { int n; };
int save(struct cfg *c) { return 0; }
