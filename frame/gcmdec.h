// Table-driven command-line decoder. A tool describes its command once, as
// a CommandTable; the decoder expands option files and environment
// references, matches abbreviated option names, validates and stores the
// values in the table, and prints its own complaint with the usage text.
#pragma once
#include <string>
#include <vector>

// Name columns: French, French with accents, English.
enum : int { CMD_FR = 0, CMD_FA = 1, CMD_GB = 2 };

struct CmdValue {
  const char *text = nullptr;  // type 'C'
  long long number = 0;        // types 'I' and 'L'
};

struct CmdParam {
  const char *names[3] = {"", "", ""};
  char type = 'C';    // 'C' string, 'I' integer, 'L' long integer
  char list = 'N';    // 'Y': several values allowed
  int minimum = 0;    // length bounds for 'C', value bounds for 'I'/'L'
  int maximum = 0;
  int optional = 0;   // positional parameter that may be absent
  std::vector<CmdValue> values;  // filled by decoding
};

struct CmdKeyword {
  const char *names[3] = {"", "", ""};
  int used = 0;
};

struct CmdOption {
  const char *names[3] = {"", "", ""};
  int takes_value = 0;
  CmdParam value;           // meaningful only when takes_value
  int state = 0;            // 0 not given, 1 given, -1 given negated
  int negatable = 0;        // also matches "no" + name
  int default_on = 0;
  int default_keyword = 0;  // 1-based, 0 none
  std::vector<CmdKeyword> keywords;  // empty: free value
};

// Test kinds of a combination rule; a negative kind asks for the opposite.
enum : int { CMD_KEYWORD_USED = 1, CMD_PARAM_HAS_VALUE = 2, CMD_OPTION_GIVEN = 3 };

// One element of a rule. CMD_KEYWORD_USED: keyword `item` of option
// `option`. CMD_PARAM_HAS_VALUE: positional parameter `item` when `option`
// is -1, else the value of option `option`. CMD_OPTION_GIVEN: option `option`.
// Indexes are 0-based.
struct CmdTest {
  int kind = 0;
  int option = -1;
  int item = 0;
};

struct CmdRule {
  CmdTest first, second;
};

struct CommandTable {
  char prefix = '-';
  char value_separator = '=';
  char list_separator = ',';
  int language = CMD_GB;
  std::vector<CmdParam> params;
  std::vector<CmdOption> options;
  std::vector<CmdRule> rules;
  const char *usage[3] = {"", "", ""};
  const char *join_word[3] = {"et", "et", "and"};
  // 0-based index of an option that asks for help: when given, missing
  // positional parameters are not a complaint. -1: none.
  int help_option = -1;
};

// Replaces the argument vector by the expanded one (option files "@file" and
// "-option=file", environment references "$NAME" and "%NAME%"). Element 0
// stays first. The new vector and its texts live until exit. 0 or -1 (an
// option file that cannot be read: complaint with the table's usage).
int expand_arguments(const CommandTable &table, int &argc, char **&argv);

// Decodes into the table (its states and values are cleared first) and
// remembers it for the lookups below. 0 on success, non-zero when a
// complaint was printed.
int decode_command(CommandTable &table, int argc, char **argv);

// On the last decoded table, by the option's name in the decoder's column:
// the 1-based position when given, negative when given negated, 0 when not.
int option_state(const char *name);
// k-th value (1-based) of the option at that position (sign ignored), or null.
const CmdValue *option_value(int position, int k);
// k-th value (1-based) of the p-th (1-based) positional parameter, or null.
const CmdValue *parameter_value(int p, int k);

// Environment expansion of one word (exposed for the generator's tests).
void expand_environment(const char *word, std::string &out);
