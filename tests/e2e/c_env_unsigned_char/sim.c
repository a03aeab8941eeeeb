#pragma ortek signof(char)=unsigned
int put(char *s, unsigned char *u) { return s[0] + u[0]; }
