/* Only read-only globals: the block stands, without VAR lines. */
const int limit = 10;
const char *const name = "x";
