struct cfg { int n; };
int load(struct cfg *c) { return c->n; }
