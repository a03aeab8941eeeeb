#define LIMIT 4
