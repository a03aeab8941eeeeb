/* A register map with reserved bits: unnamed bit-fields keep the layout. */
struct reg {
  unsigned enable : 1;
  unsigned : 3;
  unsigned mode : 2;
  unsigned : 0;
  unsigned status : 8;
  int : 4;
  unsigned tail : 4;
};
struct reg control;
int mode_of(struct reg *r) { return r->mode; }
int size_ok[sizeof(struct reg) == 8 ? 1 : -1];
