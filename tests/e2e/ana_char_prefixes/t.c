/* Character constants with an encoding prefix read the same in #if and in
   declarations. */
enum E { A = U'a', B = u'b', C = u8'c', D = L'd', F = '\e' } e_var;

#if U'a' == 97 && u'b' == 98 && u8'c' == 99 && L'd' == 100
int prefixes_in_conditions;
#endif

#if '\x41' == 65 && 10u == 10 && 7lu == 7
int escapes_and_suffixes;
#endif

int by_utf32[U'a' - 96];
int by_utf16[u'b' - 96];
const char *text8 = u8"text";
unsigned wide_sum = L'a' + U'\x10' + 2ul;

int use(int i) { return by_utf32[i]; }
