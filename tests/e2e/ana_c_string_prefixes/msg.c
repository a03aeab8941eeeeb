/* Text tables of a translated user interface. */
#include "uchar.h"
#if u'\x263A' == 0x263A && U'\U0001F600' > 0xFFFF && u8'a' == 'a' && L'z' == 122
#define UNICODE_OK 1
#endif

const char *greeting = u8"gr\u00fc\u00df" " dich";
const char16_t *title16 = u"Title" u" two";
const char32_t *title32 = U"\U0001F600";
const char *narrow = "nar" "row";
char16_t letter = u'\u00e9';
char32_t emoji = U'\U0001F600';
char raw8 = u8'x';
char name[] = u8"abc" "de";
char16_t name16[] = u"abc";
int unicode_ok = UNICODE_OK;

int show(const char *text, char32_t c);
