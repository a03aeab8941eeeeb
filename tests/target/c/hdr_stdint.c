/* globals: crc_state; functions: scale_value address_of */
#include <stdint.h>
uint32_t crc_state;
int64_t scale_value(int32_t value, uint8_t shift) { return (int64_t)value << shift; }
uintptr_t address_of(const void *p) { return (uintptr_t)p; }
