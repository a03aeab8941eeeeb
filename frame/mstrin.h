// String pool and small text operations.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "mfmemo.h"

// Concatenation of a null-terminated list of sources; at most 61440
// characters are written (plus the terminating zero). The shared library's
// bounded copy for code that builds texts in fixed buffers: this tool's own
// modules build std::string and do not call it, but it stays part of what
// the library offers every module.
char *xstrcpy(char *destination, ...);
char *xstrcat(char *destination, ...);

// Eight or four characters of a text as one word, wherever they stand.
inline std::uint64_t text_word64(const char *p) {
  std::uint64_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}
inline std::uint32_t text_word32(const char *p) {
  std::uint32_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

// Whether the n characters at a and b are the same. Names are short: a word
// at a time, the last word overlapping the one before, and a rest under
// four a character at a time, costs less than the call of memcmp; nothing
// past the n characters is read.
inline bool same_text_bytes(const char *a, const char *b, std::size_t n) {
  if (n >= 8) {
    for (std::size_t i = 0; i + 8 < n; i += 8)
      if (text_word64(a + i) != text_word64(b + i)) return false;
    return text_word64(a + n - 8) == text_word64(b + n - 8);
  }
  if (n >= 4) return text_word32(a) == text_word32(b) && text_word32(a + n - 4) == text_word32(b + n - 4);
  for (std::size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return false;
  return true;
}

// A 64-bit hash of a text whose halves are both well mixed. Names are
// hashed at every look-up in the pool and the tables: the text is read
// eight characters at a time, and a shorter rest in at most two reads.
inline std::uint64_t hash_text_bytes(const char *text, std::size_t length) {
  const auto load64 = text_word64;
  const auto load32 = [](const char *p) { return std::uint64_t{text_word32(p)}; };
  std::uint64_t x = 0x9e3779b97f4a7c15ULL * (length + 1);
  std::size_t i = 0;
  for (; i + 8 <= length; i += 8) {
    x = (x ^ load64(text + i)) * 0xff51afd7ed558ccdULL;
    x ^= x >> 32;
  }
  const std::size_t rest = length - i;
  if (rest >= 4) {
    // Two reads that may overlap cover the four to seven characters left.
    x ^= load32(text + i) | load32(text + length - 4) << 32;
  } else if (rest > 0) {
    const auto byte = [&](std::size_t k) { return std::uint64_t{static_cast<unsigned char>(text[k])}; };
    x ^= byte(i) << 16 | byte(i + rest / 2) << 8 | byte(length - 1);
  }
  x *= 0xc4ceb9fe1a85ec53ULL;
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdULL;
  x ^= x >> 33;
  return x;
}

void pool_init();
// One shared copy per distinct text, kept until exit; null/empty -> nullptr.
const char *intern_string(const char *text);
const char *intern_string(const char *text, std::size_t length);
// The same for a text from another buffer (a name a scanner reads) whose
// hash_text_bytes the caller has made for a look-up of its own: the pool
// searches its index at once, without first asking its recent texts, which
// answer such a text only when its length and end characters do not
// collide.
const char *intern_string_hashed(const char *text, std::size_t length, std::uint64_t hash);
// Whether the pool's index has outgrown what a core's own cache holds (a run
// of very many names): only then is fetching its slots ahead worth a
// second hashing of the names.
namespace pool_detail {
extern bool index_large;
}
inline bool intern_index_large() { return pool_detail::index_large; }
// Fetches, without reading it, the slot where a look-up of a text whose
// hash_text_bytes is `hash` starts.
void intern_prefetch_hashed(std::uint64_t hash);
// Tells the pool that `copy`, one of its own copies (a pointer it returned),
// is in use again: interning it again soon is answered at once instead of
// through an index that a run of many names has pushed out of the caches.
void intern_note_copy(const char *copy);

int compare_strings(const char *a, const char *b);
void upper_case_in_place(char *text);

// The hashes of a set of names, held as two bits each of a bit set of about
// eight bits a name: it never denies a name it was given, and mistakes
// about one name in twenty it was not given for one it was. The tables of
// names that grow past the cache ask it first. It is filled again from the
// whole set when it is reset for a larger one; a name taken out of the set
// keeps its bits until then.
class NameHashFilter {
 public:
  // Empties the filter, with room for `names` names.
  void reset(std::size_t names) {
    std::size_t words = 8;
    while (words * 64 < (names + 1) * kBitsPerName) words *= 2;
    bits_.assign(words, 0);
    added_ = 0;
  }
  // Whether one more name would fill it past its room.
  bool full() const { return (added_ + 1) * kBitsPerName > bits_.size() * 64; }
  void clear() {
    std::vector<std::uint64_t>().swap(bits_);
    added_ = 0;
  }
  // hash: a 64-bit hash of the name whose halves are both well mixed.
  void add(std::uint64_t hash) {
    const std::size_t mask = bits_.size() * 64 - 1;
    set(hash & mask);
    set((hash >> 32) & mask);
    ++added_;
  }
  bool may_hold(std::uint64_t hash) const {
    if (bits_.empty()) return false;
    const std::size_t mask = bits_.size() * 64 - 1;
    return test(hash & mask) && test((hash >> 32) & mask);
  }
  // Fetches, without reading them, the words may_hold(hash) reads.
  void prefetch(std::uint64_t hash) const {
    if (bits_.empty()) return;
    const std::size_t mask = bits_.size() * 64 - 1;
    prefetch_memory(&bits_[(hash & mask) >> 6]);
    prefetch_memory(&bits_[((hash >> 32) & mask) >> 6]);
  }

 private:
  static constexpr std::size_t kBitsPerName = 8;
  void set(std::size_t bit) { bits_[bit >> 6] |= std::uint64_t{1} << (bit & 63); }
  bool test(std::size_t bit) const { return (bits_[bit >> 6] >> (bit & 63)) & 1; }
  std::vector<std::uint64_t> bits_;  // a power of two words, or none
  std::size_t added_ = 0;            // names added since the last reset
};
