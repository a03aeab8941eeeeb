#include "mfmemo.h"

#include <QCoreApplication>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <new>

#include <sys/mman.h>
#include <cstdint>

#include "merror.h"

void report_memory_overflow() {
  // Reporting allocates too; when even that fails, the line is written as
  // it stands instead of failing again and again.
  static bool reporting = false;
  if (reporting) {
    std::fputs("ProbaX-S-ERRINTFCT,  Internal error in the function memory overflow\n", stderr);
    flush_and_exit(9);
  }
  reporting = true;
  const QString argument = QCoreApplication::translate("Error Parameter", "memory overflow",
                                                       "Used as a parameter for 'ERRINTFCT' error message");
  report_internal(MSG_ERRINTFCT, argument.toLocal8Bit().toStdString());
}

static void on_exhausted_new() { report_memory_overflow(); }

void install_allocation_handler() { std::set_new_handler(on_exhausted_new); }

void *checked_malloc(std::size_t size) {
  void *p = std::malloc(size ? size : 1);
  if (!p) report_memory_overflow();
  return p;
}

void *checked_calloc(std::size_t count, std::size_t size) {
  void *p = std::calloc(count ? count : 1, size ? size : 1);
  if (!p) report_memory_overflow();
  return p;
}

void *checked_realloc(void *pointer, std::size_t size) {
  void *p = std::realloc(pointer, size ? size : 1);
  if (!p) report_memory_overflow();
  return p;
}

void checked_free(void *pointer) { std::free(pointer); }

namespace {

constexpr std::size_t kLargePage = std::size_t{2} << 20;

// Blocks from this size on are mapped on their own, aligned to a large page.
bool mapped_table(std::size_t size) { return size >= kLargePage; }

std::size_t mapped_size(std::size_t size) { return (size + kLargePage - 1) & ~(kLargePage - 1); }

}  // namespace

void *checked_table_calloc(std::size_t size) {
  if (!mapped_table(size)) return checked_calloc(1, size);
  if (size > SIZE_MAX - 2 * kLargePage) report_memory_overflow();
  const std::size_t length = mapped_size(size);
  // Mapped with a large page to spare, then trimmed to an aligned start.
  void *area = mmap(nullptr, length + kLargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (area == MAP_FAILED) report_memory_overflow();
  const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(area);
  const std::uintptr_t aligned = (start + kLargePage - 1) & ~static_cast<std::uintptr_t>(kLargePage - 1);
  if (aligned > start) munmap(area, aligned - start);
  const std::size_t tail = kLargePage - (aligned - start);
  if (tail) munmap(reinterpret_cast<void *>(aligned + length), tail);
#if defined(MADV_HUGEPAGE)
  madvise(reinterpret_cast<void *>(aligned), length, MADV_HUGEPAGE);
#endif
  return reinterpret_cast<void *>(aligned);
}

void checked_table_free(void *pointer, std::size_t size) {
  if (!pointer) return;
  if (!mapped_table(size)) {
    checked_free(pointer);
    return;
  }
  munmap(pointer, mapped_size(size));
}
