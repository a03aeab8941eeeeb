#include "mfmemo.h"

#include <QCoreApplication>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <new>

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
