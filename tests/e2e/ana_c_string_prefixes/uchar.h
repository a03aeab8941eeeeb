typedef unsigned short char16_t;
typedef unsigned int char32_t;
