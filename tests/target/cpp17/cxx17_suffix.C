/* globals: ticks; functions: Clock_tick elapsed; types: Clock */
#include <cstdint>

struct Clock {
    std::uint64_t start;
    std::uint64_t tick(std::uint64_t now);
};

std::uint64_t ticks;

std::uint64_t Clock::tick(std::uint64_t now) { ticks++; return now - start; }

std::int32_t elapsed(const Clock &c, std::int32_t now) { return now - static_cast<std::int32_t>(c.start); }
