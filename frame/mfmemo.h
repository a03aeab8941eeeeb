// Checked allocation: callers never see a null pointer.
#pragma once
#include <cstddef>

void *checked_malloc(std::size_t size);
void *checked_calloc(std::size_t count, std::size_t size);
void *checked_realloc(void *pointer, std::size_t size);
void checked_free(void *pointer);

// A zeroed block for a table read at random: an index over hundreds of
// thousands of names. Past a few megabytes it stands on large pages where
// the system offers them, so that its look-ups do not each miss the
// address translation cache as well. Freed with checked_table_free and the
// same size.
void *checked_table_calloc(std::size_t size);
void checked_table_free(void *pointer, std::size_t size);

// Asks the processor to fetch the line holding `address` without waiting
// for it: a table read at random whose next place is known some steps
// ahead. Any address may be given; nothing is read.
inline void prefetch_memory(const void *address) {
#if defined(__GNUC__)
  __builtin_prefetch(address);
#else
  (void)address;
#endif
}

// Reports the internal error for an exhausted allocator ("memory overflow").
[[noreturn]] void report_memory_overflow();
// Makes an exhausted operator new (strings, containers) the same internal
// error as an exhausted checked allocation.
void install_allocation_handler();
