/* globals: g_mask; functions: low_bits */
#include <cstdint>

std::uint32_t g_mask = 0xFFu;

std::uint16_t low_bits(std::uint64_t value, std::int8_t shift)
{
    return static_cast<std::uint16_t>((value >> shift) & g_mask);
}
