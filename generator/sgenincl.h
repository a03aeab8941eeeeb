// The tested file's include scan: a light directive scanner follows the
// file's conditional structure and copies every active #include into the
// script, preceded by the definitions and top-level lines that came before
// it, so that the script sees the same declarations as the tested file.
#pragma once
#include <cstddef>
#include <string>

// The whole scan; does nothing when the tested file is inserted.
void scan_tested_includes(const std::string &tested_path);

// Value of one #if condition as the scan evaluates it (its own arithmetic:
// a word beginning with "0" is hexadecimal, operators of one pass group from
// the right). Exposed for tests.
long scan_condition(const char *text);
// Records a definition ("N 3", "N=3") as the scan does for DEFINE values;
// queue also keeps it for copying before the next include.
void scan_define(const char *text, int queue);
void scan_undef(const char *text, int queue);
bool scan_is_defined(const char *text);
// Empties the scan's macros and pending texts (also done by every scan).
void scan_reset();
// Test support: also sets the first-include marker again, so that the next
// scan writes the banner as the first one of a run does.
void scan_reset_run();

// Limits of the scan: nesting of parenthesised sub-expressions in a
// condition (deeper is 0), length of a joined continuation line.
constexpr int SCAN_PAREN_LIMIT = 150;
constexpr std::size_t SCAN_JOIN_LIMIT = 4608;
