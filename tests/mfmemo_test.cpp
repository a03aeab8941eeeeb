// Checked allocation: never a null pointer, exhaustion is an internal error.
#include "mfmemo.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <new>

#include "i18n_bibli_msg.h"

// An exhausted allocator must come back as null under the address
// sanitizer too, as it does without it: the tool reports it.
extern "C" const char *__asan_default_options() { return "allocator_may_return_null=1"; }

namespace {

struct Catalogue : ::testing::Environment {
  void SetUp() override { register_bibli_messages(); }
};
const auto *const kCatalogue = ::testing::AddGlobalTestEnvironment(new Catalogue);

TEST(CheckedMemory, NeverNull) {
  char *p = static_cast<char *>(checked_malloc(0));
  EXPECT_NE(p, nullptr);
  p = static_cast<char *>(checked_realloc(p, 10));
  EXPECT_NE(p, nullptr);
  checked_free(p);
  checked_free(nullptr);
  int *z = static_cast<int *>(checked_calloc(4, sizeof(int)));
  EXPECT_EQ(z[0] | z[1] | z[2] | z[3], 0);
  checked_free(z);
}

// Table blocks of every size around the large-page boundary come back
// zeroed and wholly writable, and a block too large for the address space
// is the usual internal error.
TEST(CheckedMemory, TableBlocks) {
  const std::size_t page = std::size_t{2} << 20;
  for (std::size_t size : {std::size_t{1}, std::size_t{4096}, page - 1, page, page + 1, 3 * page + 12345}) {
    unsigned char *p = static_cast<unsigned char *>(checked_table_calloc(size));
    ASSERT_NE(p, nullptr);
    std::size_t nonzero = 0;
    for (std::size_t i = 0; i < size; i += 997) nonzero += p[i] != 0;
    EXPECT_EQ(nonzero + p[size - 1], 0u) << size;
    p[0] = 1;
    p[size - 1] = 2;
    if (size >= page) {
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % page, 0u) << size;
    }
    checked_table_free(p, size);
  }
  checked_table_free(nullptr, page);
}

TEST(CheckedMemoryDeath, ExhaustedAllocatorIsAnInternalError) {
  EXPECT_EXIT(checked_table_calloc(static_cast<std::size_t>(-1) / 2), ::testing::ExitedWithCode(9), "memory overflow");
  EXPECT_EXIT(checked_malloc(static_cast<std::size_t>(-1) / 2), ::testing::ExitedWithCode(9),
              "(^|\n)ProbaX-S-ERRINTFCT,  Internal error in the function memory overflow\n$");
  EXPECT_EXIT(checked_calloc(static_cast<std::size_t>(-1) / 8, 16), ::testing::ExitedWithCode(9), "memory overflow");
  EXPECT_EXIT(checked_realloc(checked_malloc(8), static_cast<std::size_t>(-1) / 2), ::testing::ExitedWithCode(9),
              "memory overflow");
#if !defined(__SANITIZE_ADDRESS__)
  // The sanitizer's operator new returns null itself instead of calling the
  // handler; only a plain build can show the handler at work.
  EXPECT_EXIT(
      {
        install_allocation_handler();
        volatile std::size_t huge = static_cast<std::size_t>(-1) / 4;
        char *p = new char[huge];
        p[0] = 1;
      },
      ::testing::ExitedWithCode(9), "(^|\n)ProbaX-S-ERRINTFCT,  Internal error in the function memory overflow\n$");
#endif
}

}  // namespace
