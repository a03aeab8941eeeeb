#define assert(e) ((e) ? (void)0 : assert_fail(#e, __FILE__, __LINE__))
void assert_fail(const char *text, const char *file, int line);
