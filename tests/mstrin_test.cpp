// String pool, bounded concatenation and small text operations.
#include "mstrin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "i18n_bibli_msg.h"

namespace {

// Internal errors print the catalogue text of the whole tool.
struct Catalogue : ::testing::Environment {
  void SetUp() override { register_bibli_messages(); }
};
const auto *const kCatalogue = ::testing::AddGlobalTestEnvironment(new Catalogue);

TEST(StringPool, EqualTextsShareOneCopy) {
  pool_init();
  pool_init();  // a second set-up keeps what is there
  std::string a = "alpha", b = "alpha";
  const char *p = intern_string(a.c_str());
  EXPECT_EQ(p, intern_string(b.c_str()));
  EXPECT_STREQ(p, "alpha");
  EXPECT_NE(p, a.c_str());
  EXPECT_NE(p, intern_string("alphA"));
  EXPECT_EQ(intern_string(""), nullptr);
  EXPECT_EQ(intern_string(nullptr), nullptr);
  EXPECT_EQ(intern_string("alpha", 3), intern_string("alp"));
  // A copy handed back is itself; a part of it is another text.
  EXPECT_EQ(intern_string(p), p);
  EXPECT_EQ(intern_string(p, 5), p);
  const char *part = intern_string(p, 2);
  EXPECT_NE(part, p);
  EXPECT_STREQ(part, "al");
  EXPECT_EQ(intern_string(p, 2), part);
  EXPECT_EQ(intern_string(p + 1), intern_string("lpha"));
}

// A copy of the pool is known by its address alone, before its text is
// read; any other buffer, even one holding the text of a recent copy, is
// compared by its text.
TEST(StringPool, CopiesAreKnownByAddressOtherTextsByContent) {
  const char *copy = intern_string("gamma_delta");
  char buffer[32];
  std::strcpy(buffer, "gamma_delta");
  EXPECT_EQ(intern_string(buffer), copy);
  std::strcpy(buffer, "gamma_deltb");
  const char *other = intern_string(buffer);
  EXPECT_NE(other, copy);
  EXPECT_STREQ(other, "gamma_deltb");
  EXPECT_STREQ(copy, "gamma_delta");
  // Still itself after thousands of other texts have passed.
  for (int i = 0; i < 5000; ++i) intern_string(("filler_" + std::to_string(i)).c_str());
  EXPECT_EQ(intern_string(copy), copy);
  EXPECT_EQ(intern_string(copy, std::strlen(copy)), copy);
  EXPECT_EQ(intern_string(std::string("gamma_delta").c_str()), copy);
  // A copy noted in use again is itself, whole and in part, and other
  // buffers with its text still find it.
  for (int i = 0; i < 5000; ++i) intern_string(("more_filler_" + std::to_string(i)).c_str());
  intern_note_copy(copy);
  EXPECT_EQ(intern_string(copy), copy);
  EXPECT_EQ(intern_string(copy, std::strlen(copy)), copy);
  EXPECT_STREQ(intern_string(copy, 5), "gamma");
  EXPECT_EQ(intern_string(std::string("gamma_delta").c_str()), copy);
  intern_note_copy(nullptr);
}

// Texts of one length and the same end characters share a slot of the
// pool's recent texts: each still gets its own copy, every time, from any
// buffer.
TEST(StringPool, TextsAlikeAtTheirEndsStayApart) {
  std::vector<std::string> texts;
  for (char middle = 'a'; middle <= 'z'; ++middle) texts.push_back(std::string("q") + middle + "zz" + middle + "q");
  texts.push_back("qq");
  texts.push_back("q");
  texts.push_back(std::string(300, 'q'));
  std::vector<const char *> copies;
  for (const std::string &t : texts) copies.push_back(intern_string(t.data(), t.size()));
  for (int round = 0; round < 3; ++round)
    for (std::size_t i = 0; i < texts.size(); ++i) {
      std::string buffer = texts[i];
      EXPECT_EQ(intern_string(buffer.data(), buffer.size()), copies[i]) << texts[i];
      EXPECT_EQ(intern_string(buffer.c_str()), copies[i]) << texts[i];
      EXPECT_EQ(std::string(copies[i]), texts[i]);
    }
  std::set<const char *> distinct(copies.begin(), copies.end());
  EXPECT_EQ(distinct.size(), copies.size());
}

// A text interned with the hash its caller made gets the copy intern_string
// gives, whichever of the two meets it first, at every length the compare
// reads in a different way, and for texts that differ in one character
// only (at the start, in the middle, at the end).
TEST(StringPool, HashedTextsShareTheCopiesOfOthers) {
  for (std::size_t length = 1; length <= 40; ++length) {
    for (std::size_t at : {std::size_t{0}, length / 2, length - 1}) {
      std::string text(length, 'k');
      for (std::size_t i = 0; i < length; ++i) text[i] = static_cast<char>('a' + (i * 7 + length) % 26);
      std::string other = text;
      other[at] = other[at] == 'Z' ? 'Y' : 'Z';
      const std::string buffer = text + "tail", other_buffer = other + "tail";
      const char *plain = intern_string(text.data(), length);
      EXPECT_EQ(intern_string_hashed(buffer.data(), length, hash_text_bytes(buffer.data(), length)), plain);
      const char *hashed = intern_string_hashed(other_buffer.data(), length, hash_text_bytes(other.data(), length));
      ASSERT_NE(hashed, nullptr);
      EXPECT_NE(hashed, plain) << text << " " << other;
      EXPECT_EQ(std::string(hashed), other);
      EXPECT_EQ(intern_string(other.data(), length), hashed);
      EXPECT_EQ(intern_string(hashed), hashed);
    }
  }
  EXPECT_EQ(intern_string_hashed(nullptr, 3, 0), nullptr);
  EXPECT_EQ(intern_string_hashed("abc", 0, hash_text_bytes("abc", 0)), nullptr);
}

TEST(StringPool, ManyTextsAndOneLargerThanAChunk) {
  std::vector<const char *> first;
  for (int i = 0; i < 60000; ++i) first.push_back(intern_string(("name_" + std::to_string(i)).c_str()));
  const std::string huge(250000, 'h');
  const char *big = intern_string(huge.c_str());
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(std::strlen(big), huge.size());
  EXPECT_EQ(intern_string(huge.c_str()), big);
  std::set<const char *> distinct(first.begin(), first.end());
  EXPECT_EQ(distinct.size(), first.size());
  // Earlier copies stay where they were while the pool grows.
  // Every one is found again after the index doubled several times, and
  // a text that begins like a copy is not taken for it.
  for (int i = 0; i < 60000; ++i) {
    const std::string text = "name_" + std::to_string(i);
    ASSERT_EQ(intern_string(text.c_str()), first[i]);
    ASSERT_EQ(std::string(first[i]), text);
  }
  EXPECT_STREQ(intern_string("name_1", 5), "name_");
  EXPECT_EQ(intern_string("name_12x", 7), first[12]);
  EXPECT_NE(intern_string("name_12x", 8), first[12]);
}

TEST(Concatenation, CopyAppendAndLimit) {
  char buffer[64] = "ab";
  EXPECT_EQ(xstrcat(buffer, "c", "de", nullptr), buffer);
  EXPECT_STREQ(buffer, "abcde");
  EXPECT_STREQ(xstrcpy(buffer, "x", "", "yz", nullptr), "xyz");
  EXPECT_STREQ(xstrcpy(buffer, nullptr), "");
  std::strcpy(buffer, "keep");
  EXPECT_STREQ(xstrcat(buffer, nullptr), "keep");

  // Runaway input stops at 61440 characters.
  std::vector<char> big(70000, '\1');
  const std::string source(40000, 's');
  xstrcpy(big.data(), source.c_str(), source.c_str(), nullptr);
  EXPECT_EQ(std::strlen(big.data()), 61440u);
  xstrcat(big.data(), "more", nullptr);
  EXPECT_EQ(std::strlen(big.data()), 61440u);
}

TEST(ConcatenationDeath, MisuseIsAnInternalError) {
  char buffer[16] = "ab";
  EXPECT_EXIT(xstrcpy(nullptr, "a", nullptr), ::testing::ExitedWithCode(9), "ERRINTFCT,  Internal error in the function xstrcpy \\(2\\)\n$");
  EXPECT_EXIT(xstrcat(nullptr, "a", nullptr), ::testing::ExitedWithCode(9), "ERRINTFCT,  Internal error in the function xstrcat \\(2\\)\n$");
  EXPECT_EXIT(xstrcpy(buffer, "a", buffer, nullptr), ::testing::ExitedWithCode(9), "ERRINTFCT,  Internal error in the function xstrcpy\n$");
  EXPECT_EXIT(xstrcat(buffer, buffer, nullptr), ::testing::ExitedWithCode(9), "ERRINTFCT,  Internal error in the function xstrcat\n$");
}

TEST(TextOperations, CompareAndUpperCase) {
  EXPECT_EQ(compare_strings("abc", "abc"), 0);
  EXPECT_EQ(compare_strings(nullptr, "a"), -1);
  EXPECT_EQ(compare_strings("a", nullptr), -1);
  EXPECT_EQ(compare_strings("abd", "abc"), 1);
  EXPECT_EQ(compare_strings("ab", "abc"), -'c');
  // Bytes are signed 8-bit characters: 0xE9 sorts below 'a' and below the end.
  EXPECT_LT(compare_strings("\xe9", "a"), 0);
  EXPECT_LT(compare_strings("a\xe9", "a"), 0);

  char text[] = "abz-\xe9Q";
  upper_case_in_place(text);
  EXPECT_STREQ(text, "ABZ-\xe9Q");
}

// The filter never denies a hash it was given, seldom admits one it was not,
// and forgets everything when it is reset.
TEST(TextHash, EveryCharacterCountsAtEveryLength) {
  // Every text of up to three letters, and texts of 4 to 20 characters
  // changed in one character at each position: the rest after the words
  // of eight is read in parts, none of which may be left out.
  std::set<std::uint64_t> seen;
  std::set<std::string> texts;
  std::string t;
  for (int a = 0; a <= 26; ++a)
    for (int b = 0; b <= 26; ++b)
      for (int c = 1; c <= 26; ++c) {
        t.clear();
        if (a) t += static_cast<char>('a' + a - 1);
        if (b) t += static_cast<char>('a' + b - 1);
        t += static_cast<char>('a' + c - 1);
        seen.insert(hash_text_bytes(t.data(), t.size()));
        texts.insert(t);
      }
  for (std::size_t n = 4; n <= 20; ++n)
    for (std::size_t k = 0; k < n; ++k) {
      std::string v(n, 'x');
      v[k] = 'y';
      seen.insert(hash_text_bytes(v.data(), v.size()));
      texts.insert(v);
    }
  EXPECT_EQ(seen.size(), texts.size());
  // The length counts: a text and the same text with a zero after it.
  const char zeros[] = {'a', '\0', '\0'};
  EXPECT_NE(hash_text_bytes(zeros, 1), hash_text_bytes(zeros, 2));
  EXPECT_NE(hash_text_bytes(zeros, 2), hash_text_bytes(zeros, 3));
}

TEST(NameHashFilter, NeverDeniesAndSeldomAdmitsOthers) {
  auto spread = [](std::uint64_t i) {  // a well mixed 64-bit hash of i
    std::uint64_t z = i + 0x9E3779B97F4A7C15ULL;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  };
  NameHashFilter f;
  EXPECT_FALSE(f.may_hold(spread(1)));  // never reset: holds nothing
  f.reset(4000);
  for (std::uint64_t i = 0; i < 4000; ++i) {
    ASSERT_FALSE(f.full()) << i;  // room for at least the names it was reset for
    f.add(spread(i));
  }
  int admitted = 0;
  for (std::uint64_t i = 0; i < 4000; ++i) {
    ASSERT_TRUE(f.may_hold(spread(i))) << i;
    admitted += f.may_hold(spread(i + 100000));
  }
  EXPECT_LT(admitted, 4000 / 8);
  f.reset(10);
  EXPECT_FALSE(f.may_hold(spread(3)));
  f.clear();
  EXPECT_FALSE(f.may_hold(spread(3)));
}

// Names are compared a word at a time: every length, and a difference at
// every place, must be told as memcmp tells it.
TEST(TextBytes, SameAsMemcmp) {
  char a[48], b[48];
  for (std::size_t n = 0; n <= 40; ++n) {
    for (std::size_t i = 0; i < sizeof a; ++i) a[i] = b[i] = static_cast<char>('a' + i % 26);
    EXPECT_TRUE(same_text_bytes(a + 1, b + 1, n)) << n;
    for (std::size_t at = 0; at < n; ++at) {
      b[1 + at] = 'Z';
      EXPECT_FALSE(same_text_bytes(a + 1, b + 1, n)) << n << " " << at;
      EXPECT_FALSE(same_text_bytes(b + 1, a + 1, n)) << n << " " << at;
      b[1 + at] = a[1 + at];
    }
    // Characters just outside the n compared do not count.
    b[0] = 'Z';
    b[1 + n] = 'Z';
    EXPECT_TRUE(same_text_bytes(a + 1, b + 1, n)) << n;
  }
}

}  // namespace
