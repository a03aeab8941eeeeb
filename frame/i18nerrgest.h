// Glue between the message tables of the modules and the reporter.
#pragma once
#include <cstddef>
#include <string_view>

// One catalogue entry. An entry without context is stored as written (texts
// such as "%1%2" that only carry the caller's own words).
struct MessageEntry {
  const char *code;
  const char *context;
  const char *text;     // English source text, key of the translations
  const char *comment;  // translator comment, may be null
};

struct MessageTable {
  const MessageEntry *entries;
  std::size_t count;
};

// Translates every entry through the installed translators and stores it in
// the catalogue; a code already present gets the new text.
void register_message_table(const MessageTable &table);

// The squelet module's own way into the reporter; they add nothing.
[[noreturn]] void squelet_fatal(const char *code, std::string_view arg = {});
void squelet_warning(const char *code, std::string_view arg = {});
void squelet_info(const char *code, std::string_view arg = {});
[[noreturn]] void squelet_finish();
