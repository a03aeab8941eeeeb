/* globals: g_is_signed; functions: clamp_index */
#include <type_traits>

std::true_type g_is_signed;

std::make_unsigned<int>::type clamp_index(std::remove_cv<const int>::type index, std::size_t size)
{
    if (std::is_signed<int>::value && index < 0) return 0;
    return static_cast<unsigned>(index) < size ? index : size - 1;
}
