/* Unique names the way assertion and registration macros make them. */
#define CAT2(a, b) a##b
#define CAT(a, b) CAT2(a, b)
#define UNIQUE(prefix) CAT(prefix, __COUNTER__)
extern int UNIQUE(slot_);
