/* A target whose plain char is unsigned: char * still holds text. */
#pragma ortek signof(char)=unsigned
char *name;
char buf[16];
signed char *signed_text;
unsigned char *raw;
unsigned char bytes[4];
int use(char *s, unsigned char *u, const char *t) { return s[0] + u[0] + t[0]; }
