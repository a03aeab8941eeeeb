// Checked allocation: callers never see a null pointer.
#pragma once
#include <cstddef>

void *checked_malloc(std::size_t size);
void *checked_calloc(std::size_t count, std::size_t size);
void *checked_realloc(void *pointer, std::size_t size);
void checked_free(void *pointer);

// Reports the internal error for an exhausted allocator ("memory overflow").
[[noreturn]] void report_memory_overflow();
// Makes an exhausted operator new (strings, containers) the same internal
// error as an exhausted checked allocation.
void install_allocation_handler();
