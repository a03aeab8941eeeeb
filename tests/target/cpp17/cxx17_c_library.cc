/* globals: table_size last_error; functions: Table_Table Table_put Table_find checksum parse_count; types: Table */
#include <cassert>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

class Table {
public:
    explicit Table(std::size_t capacity);
    bool put(const char *key, std::uint32_t value);
    std::int64_t find(const char *key) const;
private:
    char keys[16][32];
    std::uint32_t values[16];
    std::size_t used;
};

std::size_t table_size;
int last_error;

Table::Table(std::size_t capacity) : used(0) { table_size = capacity; }

bool Table::put(const char *key, std::uint32_t value)
{
    if (used >= 16 || std::strlen(key) >= sizeof keys[0]) return false;
    std::strcpy(keys[used], key);
    values[used++] = value;
    return true;
}

std::int64_t Table::find(const char *key) const
{
    for (std::size_t i = 0; i < used; ++i)
        if (std::strcmp(keys[i], key) == 0) return values[i];
    return -1;
}

std::uint32_t checksum(const std::uint8_t *data, std::size_t length)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < length; ++i) sum = (sum << 1) ^ data[i];
    return sum;
}

long parse_count(const char *text, FILE *log)
{
    char *end = nullptr;
    long n = std::strtol(text, &end, 10);
    if (n == LONG_MAX) { last_error = 1; std::fprintf(log, "overflow\n"); }
    assert(end != nullptr);
    return n;
}
