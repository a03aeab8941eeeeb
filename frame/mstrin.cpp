#include "mstrin.h"

#include <cstdarg>
#include <cstdint>
#include <cstring>

#include "merror.h"
#include "mfmemo.h"

namespace pool_detail {
bool index_large = false;
}

namespace {

constexpr std::size_t kCopyLimit = 61440;
// An index of more slots than this weighs more than a core's second-level
// cache (1 MiB).
constexpr std::size_t kLargeSlots = (std::size_t{1} << 20) / sizeof(std::uint64_t);
constexpr std::size_t kFirstSlots = 16384;  // a power of two

// The index is one open-addressed array of words: a copy's address (this
// process's addresses leave the top 16 bits clear) with 16 bits of its
// text's hash above it. A look-up for a text the pool lacks, and each
// neighbour passed on the way, costs one word and no text; a found text
// costs that word and the copy itself. A run interns hundreds of thousands
// of names, whose index outgrows the caches: a chain of buckets and entries
// cost a waiting load more per look-up, and more memory. The tables grow
// through checked allocation, so an exhausted allocator is the usual
// internal error.
struct Pool {
  static constexpr int kAddressBits = 48;
  static constexpr std::uint64_t kAddressMask = (std::uint64_t{1} << kAddressBits) - 1;
  // The length stands in the chunk just before the text.
  static std::uint32_t length_of(const char *copy) {
    std::uint32_t length;
    std::memcpy(&length, copy - sizeof length, sizeof length);
    return length;
  }
  static const char *copy_of(std::uint64_t slot) {
    return reinterpret_cast<const char *>(static_cast<std::uintptr_t>(slot & kAddressMask));
  }
  static std::uint64_t tag_of(std::uint64_t hash) { return (hash & 0xffff) << kAddressBits; }
  std::size_t home(std::uint64_t hash) const { return static_cast<std::size_t>(hash >> shift); }

  std::uint64_t *slots = nullptr;  // 0: free
  std::size_t capacity = 0;        // a power of two
  int shift = 64;                  // 64 - log2(capacity): the home slot is the hash's top bits
  std::size_t count = 0;
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

// Process lifetime. A plain pointer, set by the first text interned: every
// look-up asks for the pool, and a function-local static would be checked
// through its guard each time.
Pool *the_pool = nullptr;

__attribute__((noinline)) Pool &make_pool() {
  the_pool = new Pool;
  return *the_pool;
}

inline Pool &pool() { return the_pool ? *the_pool : make_pool(); }

void place_slots(std::uint64_t *slots, std::size_t capacity, int shift, std::uint64_t slot, std::uint64_t hash) {
  std::size_t i = static_cast<std::size_t>(hash >> shift);
  while (slots[i]) i = (i + 1) & (capacity - 1);
  slots[i] = slot;
}

// Doubles the index once it is five eighths full: probes stay short and a
// run that interns millions of names keeps constant-time look-ups.
void grow_slots(Pool &p) {
  if (p.capacity > (SIZE_MAX / sizeof(std::uint64_t)) / 4) report_memory_overflow();
  const std::size_t n = p.capacity * 2;
  std::uint64_t *slots = static_cast<std::uint64_t *>(checked_table_calloc(n * sizeof(std::uint64_t)));
  const int shift = p.shift - 1;
  for (std::size_t i = 0; i < p.capacity; ++i) {
    const std::uint64_t slot = p.slots[i];
    if (!slot) continue;
    const char *copy = Pool::copy_of(slot);
    place_slots(slots, n, shift, slot, hash_text_bytes(copy, Pool::length_of(copy)));
  }
  checked_table_free(p.slots, p.capacity * sizeof(std::uint64_t));
  p.slots = slots;
  p.capacity = n;
  p.shift = shift;
  pool_detail::index_large = n > kLargeSlots;
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
  if (p.slots) return;
  p.slots = static_cast<std::uint64_t *>(checked_table_calloc(kFirstSlots * sizeof(std::uint64_t)));
  p.capacity = kFirstSlots;
  int bits = 0;
  while ((std::size_t{1} << bits) < kFirstSlots) ++bits;
  p.shift = 64 - bits;
}

namespace {

// The pool's copy of a text whose hash_text_bytes is `hash`, made if there is
// none. `same` is the slot of the recent texts by length and end characters
// that the copy goes to (none: it goes to none).
inline const char *find_or_add(Pool &p, const char *text, std::size_t length, std::uint64_t hash, Pool::Recent *same) {
  const std::uint64_t tag = Pool::tag_of(hash);
  std::size_t i = p.home(hash);
  for (;; i = (i + 1) & (p.capacity - 1)) {
    const std::uint64_t slot = p.slots[i];
    if (!slot) break;
    if ((slot & ~Pool::kAddressMask) != tag) continue;
    const char *copy = Pool::copy_of(slot);
    if (Pool::length_of(copy) == length && same_text_bytes(copy, text, length)) {
      p.recent[Pool::recent_slot(copy)] = {copy, length};
      if (same) *same = {copy, length};
      return copy;
    }
  }
  const std::uint32_t stored_length = static_cast<std::uint32_t>(length);
  const std::size_t room = sizeof stored_length + length + 1;
  if (!p.chunk || p.fill + room >= p.chunk_size) {
    if (room + sizeof(char *) >= p.chunk_size) p.chunk_size += room + sizeof(char *);
    // The full one stays in use. Each chunk begins with the address of the
    // one before: the index holds the copies' addresses with hash bits
    // above them, which a leak checker does not take for pointers.
    char *previous = p.chunk;
    p.chunk = static_cast<char *>(checked_malloc(p.chunk_size));
    std::memcpy(p.chunk, &previous, sizeof previous);
    p.fill = sizeof previous;
  }
  std::memcpy(p.chunk + p.fill, &stored_length, sizeof stored_length);
  char *copy = p.chunk + p.fill + sizeof stored_length;
  std::memcpy(copy, text, length);
  copy[length] = '\0';
  p.fill += room;
  const std::uint64_t address = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(copy));
  if (address & ~Pool::kAddressMask) report_internal(MSG_ERRINTFCT, "string pool");
  p.slots[i] = address | tag;
  ++p.count;
  if (p.count * 8 > p.capacity * 5) grow_slots(p);
  p.recent[Pool::recent_slot(copy)] = {copy, length};
  if (same) *same = {copy, length};
  return copy;
}

}  // namespace

const char *intern_string(const char *text, std::size_t length) {
  if (!text || length == 0) return nullptr;
  Pool &p = pool();
  if (!p.slots) pool_init();
  Pool::Recent &seen = p.recent[Pool::recent_slot(text)];
  if (seen.text == text && seen.length == length) return text;
  Pool::Recent &same = p.seen[Pool::seen_slot(text, length)];
  if (same.length == length && same.text[0] == text[0] && same_text_bytes(same.text, text, length)) {
    p.recent[Pool::recent_slot(same.text)] = same;
    return same.text;
  }
  if (length > UINT32_MAX) report_memory_overflow();
  return find_or_add(p, text, length, hash_text_bytes(text, length), &same);
}

const char *intern_string_hashed(const char *text, std::size_t length, std::uint64_t hash) {
  if (!text || length == 0) return nullptr;
  Pool &p = pool();
  if (!p.slots) pool_init();
  if (length > UINT32_MAX) report_memory_overflow();
  return find_or_add(p, text, length, hash, nullptr);
}

void intern_prefetch_hashed(std::uint64_t hash) {
  const Pool &p = pool();
  if (p.slots) prefetch_memory(&p.slots[p.home(hash)]);
}

void intern_note_copy(const char *copy) {
  if (!copy) return;
  Pool &p = pool();
  p.recent[Pool::recent_slot(copy)] = {copy, Pool::length_of(copy)};
}

namespace {

// intern_string of a text that is no recent copy: measured, then interned.
__attribute__((noinline)) const char *intern_measured(const char *text) {
  return intern_string(text, std::strlen(text));
}

}  // namespace

const char *intern_string(const char *text) {
  if (!text) return nullptr;
  // A recent copy of the pool's own is handed back before its text is
  // measured: its address alone identifies it.
  if (pool().recent[Pool::recent_slot(text)].text == text) return text;
  return intern_measured(text);
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
