#include "mstrin.h"

#include <cstdarg>
#include <cstdint>
#include <cstring>

#include "merror.h"
#include "mfmemo.h"

namespace {

constexpr std::size_t kCopyLimit = 61440;
constexpr std::uint32_t kBuckets = 19997;

// Buckets hold the index of their first entry; entry 0 is the pool's empty
// string and ends every chain. The tables grow through checked allocation,
// so an exhausted allocator is the usual internal error.
struct Pool {
  // The hash is kept so that a chain is walked without reading the texts
  // and the buckets grow without hashing them again. The length stands in
  // the chunk just before the text: a run interns hundreds of thousands of
  // names, and the entry table, which grows ahead of them, stays two words.
  struct Entry {
    const char *text;
    std::uint32_t next;
    std::uint32_t hash;
  };
  static std::uint32_t length_of(const Entry &e) {
    std::uint32_t length;
    std::memcpy(&length, e.text - sizeof length, sizeof length);
    return length;
  }
  std::uint32_t *bucket = nullptr;
  std::uint32_t bucket_count = 0;  // grows with the entries so that chains stay short
  Entry *entries = nullptr;
  std::uint32_t count = 0;  // entries in use, the reserved one excluded
  std::uint32_t capacity = 0;
  char *chunk = nullptr;
  std::size_t chunk_size = 100000;
  std::size_t fill = 0;
  // Most texts interned again are the pool's own copies, handed back by a
  // caller that kept the interned pointer (a name of the scanner entered in
  // the table). Recent copies by address answer those without hashing the
  // text: the pool's memory is never freed, so no other text can stand at
  // the address of one of its copies.
  struct Recent {
    const char *text = nullptr;
    std::size_t length = 0;
  };
  static constexpr std::size_t kRecent = 1024;
  Recent recent[kRecent];
  static std::size_t recent_slot(const char *text) {
    return static_cast<std::size_t>((reinterpret_cast<std::uintptr_t>(text) * 0x9E3779B97F4A7C15ULL) >> 54) &
           (kRecent - 1);
  }
  // Texts interned again from other buffers (the names a scanner reads):
  // recent copies by their length and end characters, compared before the
  // whole text is hashed. A copy stands for its text for good, so a stale
  // slot is only a miss.
  static constexpr std::size_t kSeen = 1024;
  Recent seen[kSeen];
  static std::size_t seen_slot(const char *text, std::size_t length) {
    const std::size_t key = length * 0x9E3779B1u + static_cast<unsigned char>(text[0]) * 0x85EBCA77u +
                            static_cast<unsigned char>(text[length - 1]) * 0xC2B2AE3Du;
    return (key ^ (key >> 13)) & (kSeen - 1);
  }
};

Pool &pool() {
  static Pool *p = new Pool;  // process lifetime
  return *p;
}

std::uint32_t hash_text(const char *text, std::size_t length) {
  std::uint32_t h = 2166136261u;
  for (std::size_t i = 0; i < length; ++i) {
    h ^= static_cast<unsigned char>(text[i]);
    h *= 16777619u;
  }
  return h;
}

// Doubles the bucket array once there are more entries than buckets: a run
// that interns millions of names keeps constant-time lookups.
void grow_buckets(Pool &p) {
  if (p.bucket_count > UINT32_MAX / 4) return;
  const std::uint32_t n = p.bucket_count * 2 + 1;
  std::uint32_t *b = static_cast<std::uint32_t *>(checked_calloc(n, sizeof(std::uint32_t)));
  for (std::uint32_t i = 1; i <= p.count; ++i) {
    const std::uint32_t h = p.entries[i].hash % n;
    p.entries[i].next = b[h];
    b[h] = i;
  }
  checked_free(p.bucket);
  p.bucket = b;
  p.bucket_count = n;
}

char *concatenate(char *destination, std::size_t position, const char *what, va_list sources) {
  for (const char *s = va_arg(sources, const char *); s; s = va_arg(sources, const char *)) {
    if (s == destination) report_internal(MSG_ERRINTFCT, what);
    while (*s && position < kCopyLimit) destination[position++] = *s++;
  }
  destination[position] = '\0';
  return destination;
}

}  // namespace

char *xstrcpy(char *destination, ...) {
  if (!destination) report_internal(MSG_ERRINTFCT, "xstrcpy (2)");
  va_list sources;
  va_start(sources, destination);
  concatenate(destination, 0, "xstrcpy", sources);
  va_end(sources);
  return destination;
}

char *xstrcat(char *destination, ...) {
  if (!destination) report_internal(MSG_ERRINTFCT, "xstrcat (2)");
  va_list sources;
  va_start(sources, destination);
  concatenate(destination, std::strlen(destination), "xstrcat", sources);
  va_end(sources);
  return destination;
}

void pool_init() {
  Pool &p = pool();
  if (p.entries) return;
  p.bucket = static_cast<std::uint32_t *>(checked_calloc(kBuckets, sizeof(std::uint32_t)));
  p.bucket_count = kBuckets;
  p.capacity = 10000;
  p.entries = static_cast<Pool::Entry *>(checked_malloc(p.capacity * sizeof(Pool::Entry)));
  p.entries[0] = {"", 0, 0};  // never compared: index 0 ends the chains
}

const char *intern_string(const char *text, std::size_t length) {
  if (!text || length == 0) return nullptr;
  pool_init();
  Pool &p = pool();
  Pool::Recent &seen = p.recent[Pool::recent_slot(text)];
  if (seen.text == text && seen.length == length) return text;
  Pool::Recent &same = p.seen[Pool::seen_slot(text, length)];
  if (same.length == length && same.text[0] == text[0] && std::memcmp(same.text, text, length) == 0) {
    p.recent[Pool::recent_slot(same.text)] = same;
    return same.text;
  }
  if (length > UINT32_MAX) report_memory_overflow();
  const std::uint32_t hash = hash_text(text, length);
  const std::uint32_t b = hash % p.bucket_count;
  for (std::uint32_t i = p.bucket[b]; i != 0; i = p.entries[i].next) {
    const Pool::Entry &e = p.entries[i];
    if (e.hash == hash && Pool::length_of(e) == length && std::memcmp(e.text, text, length) == 0) {
      p.recent[Pool::recent_slot(e.text)] = {e.text, length};
      same = {e.text, length};
      return e.text;
    }
  }
  if (p.count >= p.capacity - 1) {
    // Growing by half keeps the copies of the entry table linear in all.
    if (p.capacity > UINT32_MAX / 3 * 2) report_memory_overflow();
    p.capacity += p.capacity / 2;
    p.entries = static_cast<Pool::Entry *>(checked_realloc(p.entries, std::size_t{p.capacity} * sizeof(Pool::Entry)));
  }
  const std::uint32_t stored_length = static_cast<std::uint32_t>(length);
  const std::size_t room = sizeof stored_length + length + 1;
  if (!p.chunk || p.fill + room >= p.chunk_size) {
    if (room >= p.chunk_size) p.chunk_size += room;
    p.chunk = static_cast<char *>(checked_malloc(p.chunk_size));  // the full one stays in use
    p.fill = 0;
  }
  std::memcpy(p.chunk + p.fill, &stored_length, sizeof stored_length);
  char *copy = p.chunk + p.fill + sizeof stored_length;
  std::memcpy(copy, text, length);
  copy[length] = '\0';
  p.fill += room;
  const std::uint32_t index = ++p.count;
  p.entries[index] = {copy, p.bucket[b], hash};
  p.bucket[b] = index;
  if (p.count > p.bucket_count) grow_buckets(p);
  p.recent[Pool::recent_slot(copy)] = {copy, length};
  same = {copy, length};
  return copy;
}

const char *intern_string(const char *text) {
  if (!text) return nullptr;
  // A recent copy of the pool's own is handed back before its text is
  // measured: its address alone identifies it.
  if (pool().recent[Pool::recent_slot(text)].text == text) return text;
  return intern_string(text, std::strlen(text));
}

int compare_strings(const char *a, const char *b) {
  if (!a || !b) return -1;
  while (*a && *a == *b) {
    ++a;
    ++b;
  }
  return static_cast<signed char>(*a) - static_cast<signed char>(*b);
}

void upper_case_in_place(char *text) {
  for (; *text; ++text)
    if (*text >= 'a' && *text <= 'z') *text = static_cast<char>(*text - 'a' + 'A');
}
