#include "gcmdec.h"

#include <QCoreApplication>
#include <QString>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <new>
#include <string_view>

#include "mplatf.h"

namespace {

// The decoder's texts; the index is the message number.
const char *const kMessages[] = {
    QT_TRANSLATE_NOOP("CAB", "Arg value too small,"),
    QT_TRANSLATE_NOOP("CAB", "Arg value too large,"),
    QT_TRANSLATE_NOOP("CAB", "Arg length too small,"),
    QT_TRANSLATE_NOOP("CAB", "Arg length too large,"),
    QT_TRANSLATE_NOOP("CAB", "Too many arguments invalid argument,"),
    QT_TRANSLATE_NOOP("CAB", "List forbidden invalid argument,"),
    QT_TRANSLATE_NOOP("CAB", "Unknown option,"),
    QT_TRANSLATE_NOOP("CAB", "Invalid character following option,"),
    QT_TRANSLATE_NOOP("CAB", "An option can't be used twice,"),
    QT_TRANSLATE_NOOP("CAB", "Mandatory argument for this option,"),
    QT_TRANSLATE_NOOP("CAB", "No argument for this option,"),
    QT_TRANSLATE_NOOP("CAB", "List forbidden invalid option,"),
    QT_TRANSLATE_NOOP("CAB", "Argument missing,"),
    QT_TRANSLATE_NOOP("CAB", "Ambiguous option,"),
    QT_TRANSLATE_NOOP("CAB", "Unknown value of option,"),
    QT_TRANSLATE_NOOP("CAB", "Ambiguous value of option,"),
    QT_TRANSLATE_NOOP("CAB", "Illegal combination of command elements,"),
    QT_TRANSLATE_NOOP("CAB", "File not found"),
    QT_TRANSLATE_NOOP("CAB", "Command analysis: No memory left"),
    QT_TRANSLATE_NOOP("CAB", "Command analysis"),
    QT_TRANSLATE_NOOP("CAB", "Internal error, bad option name"),
};
const char *const kProductName = QT_TRANSLATE_NOOP("CAB", "ProbaX");

enum : int {
  MSG_VALUE_SMALL = 0, MSG_VALUE_LARGE = 1, MSG_LENGTH_SMALL = 2, MSG_LENGTH_LARGE = 3,
  MSG_TOO_MANY = 4, MSG_LIST_ARGUMENT = 5, MSG_UNKNOWN_OPTION = 6, MSG_TWICE = 8,
  MSG_VALUE_MANDATORY = 9, MSG_NO_VALUE = 10, MSG_LIST_OPTION = 11, MSG_MISSING = 12,
  MSG_AMBIGUOUS_OPTION = 13, MSG_UNKNOWN_VALUE = 14, MSG_AMBIGUOUS_VALUE = 15,
  MSG_COMBINATION = 16, MSG_FILE_NOT_FOUND = 17, MSG_NO_MEMORY = 18, MSG_ANALYSIS = 19,
  MSG_BAD_NAME = 20
};

struct Decoder {
  CommandTable *table = nullptr;
  // Every text and vector made by expansion and decoding, kept until exit
  // (deque elements never move, so handed-out pointers stay valid).
  std::deque<std::string> texts;
  std::deque<std::vector<char *>> vectors;
};

Decoder &decoder() {
  static Decoder *d = new Decoder;  // process lifetime
  return *d;
}

const char *keep(std::string text) {
  decoder().texts.push_back(std::move(text));
  return decoder().texts.back().c_str();
}

std::string local8(const QString &text) { return text.toLocal8Bit().toStdString(); }

std::string cab(int message) { return local8(QCoreApplication::translate("CAB", kMessages[message])); }

std::string head() {
  return local8(QString("%1 %2").arg(QCoreApplication::translate("CAB", kProductName),
                                     QCoreApplication::translate("CAB", kMessages[MSG_ANALYSIS])));
}

// Hidden options stay out of the usage; only their own lines go, whatever
// follows them.
std::string usage_text(const CommandTable &table) {
  std::string usage = local8(QCoreApplication::translate("Command-line", table.usage[table.language]));
  std::string out;
  out.reserve(usage.size());
  std::size_t i = 0;
  while (i < usage.size()) {
    std::size_t end = usage.find('\n', i);
    std::size_t next = end == std::string::npos ? usage.size() : end + 1;
    bool hidden = end != std::string::npos && usage.compare(i, 5, "\t[-XT") == 0;
    if (!hidden) out.append(usage, i, next - i);
    i = next;
  }
  return out;
}

void print_line(const std::string &line) {
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

int complain(const CommandTable &table, int message, std::string_view offending, bool with_text = true) {
  std::string line = head() + " : " + cab(message);
  if (with_text) {
    line += ' ';
    line.append(offending);
  }
  line += usage_text(table);
  line += '\n';
  print_line(line);
  return message + 1;
}

void complain_no_memory() {
  print_line(local8(QString("%1 %2").arg(QCoreApplication::translate("CAB", kProductName),
                                         QCoreApplication::translate("CAB", kMessages[MSG_NO_MEMORY]))) +
             "\n");
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Case-insensitive for a to z only, as the names are plain ASCII words.
bool same_prefix(std::string_view text, std::string_view name) {
  if (text.size() > name.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (lower(text[i]) != lower(name[i])) return false;
  return true;
}

struct Match {
  int index = -1;
  int negated = 0;
  bool ambiguous = false;
  bool found() const { return index >= 0 || ambiguous; }
};

bool negatable(const CmdOption &o) { return o.negatable != 0; }
bool negatable(const CmdKeyword &) { return false; }

// Exact match first (the first one in column and list order wins at once);
// otherwise the abbreviation shared by one item only. Abbreviations of a
// text all have its length, so two different items tie. The empty text
// abbreviates nothing: "-" alone is an unknown option, "/" alone a value.
template <class Item>
Match match_items(std::string_view text, const std::vector<Item> &items) {
  Match best;
  std::size_t best_length = 0;
  for (int column = 0; column < 3; ++column) {
    for (std::size_t i = 0; i < items.size(); ++i) {
      const char *name = items[i].names[column];
      if (!name) continue;
      for (int negated = 0; negated <= (negatable(items[i]) ? 1 : 0); ++negated) {
        std::string candidate = negated ? std::string("no") + name : std::string(name);
        if (!same_prefix(text, candidate)) continue;
        if (text.size() == candidate.size()) {
          Match exact;
          exact.index = static_cast<int>(i);
          exact.negated = negated;
          return exact;
        }
        if (text.empty()) continue;
        if (best.index < 0 && !best.ambiguous) {
          best.index = static_cast<int>(i);
          best.negated = negated;
          best_length = text.size();
        } else if (text.size() > best_length) {
          best.index = static_cast<int>(i);
          best.negated = negated;
          best.ambiguous = false;
          best_length = text.size();
        } else if (best.index != static_cast<int>(i)) {
          best.ambiguous = true;
        }
      }
    }
  }
  if (best.ambiguous) best.index = -1;
  return best;
}

// Splits at every list separator that no backslash precedes.
std::vector<std::string_view> split_values(std::string_view text, char separator) {
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (text[i] == separator && (i == 0 || text[i - 1] != '\\')) {
      pieces.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  pieces.push_back(text.substr(start));
  return pieces;
}

bool has_unescaped(std::string_view text, char separator) { return split_values(text, separator).size() > 1; }

int validate(const CommandTable &table, CmdParam &param, CmdOption *option, std::string_view piece) {
  CmdValue value;
  if (param.type == 'C') {
    long long length = static_cast<long long>(piece.size());
    if (length < param.minimum) return complain(table, MSG_LENGTH_SMALL, piece);
    if (length > param.maximum) return complain(table, MSG_LENGTH_LARGE, piece);
    std::string text;
    text.reserve(piece.size());
    for (std::size_t i = 0; i < piece.size(); ++i) {
      if (piece[i] == '\\' && i + 1 < piece.size() && piece[i + 1] == table.list_separator) continue;
      text.push_back(piece[i]);
    }
    if (option && !option->keywords.empty()) {
      Match m = match_items(std::string_view(text), option->keywords);
      if (m.ambiguous) return complain(table, MSG_AMBIGUOUS_VALUE, piece);
      if (m.index < 0) return complain(table, MSG_UNKNOWN_VALUE, piece);
      CmdKeyword &k = option->keywords[m.index];
      k.used = 1;
      text = k.names[table.language];
    }
    value.text = keep(std::move(text));
  } else {
    // Text that is not a number reads as 0; out-of-range numbers saturate
    // and so fail the bounds instead of wrapping.
    std::string text(piece);
    errno = 0;
    long long number = std::strtoll(text.c_str(), nullptr, 10);
    if (param.type == 'I') {
      if (number > INT_MAX) number = static_cast<long long>(INT_MAX) + 1;
      if (number < INT_MIN) number = static_cast<long long>(INT_MIN) - 1;
    }
    if (number < param.minimum) return complain(table, MSG_VALUE_SMALL, piece);
    if (number > param.maximum) return complain(table, MSG_VALUE_LARGE, piece);
    value.number = number;
    value.text = keep(std::move(text));
  }
  param.values.push_back(value);
  return 0;
}

const char *name_of(const CommandTable &table, const CmdTest &test) {
  const int language = table.language;
  switch (test.kind < 0 ? -test.kind : test.kind) {
    case CMD_KEYWORD_USED:
      return table.options[test.option].keywords[test.item].names[language];
    case CMD_PARAM_HAS_VALUE:
      return test.option < 0 ? table.params[test.item].names[language]
                             : table.options[test.option].value.names[language];
    default:
      return table.options[test.option].names[language];
  }
}

bool holds(const CommandTable &table, const CmdTest &test) {
  bool result = false;
  switch (test.kind < 0 ? -test.kind : test.kind) {
    case CMD_KEYWORD_USED:
      result = table.options[test.option].keywords[test.item].used != 0;
      break;
    case CMD_PARAM_HAS_VALUE:
      result = test.option < 0 ? !table.params[test.item].values.empty()
                               : !table.options[test.option].value.values.empty();
      break;
    case CMD_OPTION_GIVEN:
      result = table.options[test.option].state > 0;
      break;
    default:
      return false;
  }
  return test.kind > 0 ? result : !result;
}

int decode_option(CommandTable &table, const char *text) {
  std::string_view whole(text);
  std::size_t equal = whole.find(table.value_separator);
  std::string_view name = whole.substr(0, equal);
  // A prefix alone ("-") is a leading part of every option name.
  if (name.empty() && table.options.size() > 1) return complain(table, MSG_AMBIGUOUS_OPTION, whole, !whole.empty());
  Match m = match_items(name, table.options);
  if (m.ambiguous) return complain(table, MSG_AMBIGUOUS_OPTION, whole);
  if (m.index < 0) return complain(table, MSG_UNKNOWN_OPTION, whole);
  CmdOption &o = table.options[m.index];
  const bool accumulates = o.takes_value && o.value.list == 'Y';
  if (o.state != 0 && !accumulates) return complain(table, MSG_TWICE, whole);
  o.state = m.negated ? -1 : 1;
  if (!o.takes_value) {
    if (equal != std::string_view::npos) return complain(table, MSG_NO_VALUE, whole);
    return 0;
  }
  if (equal == std::string_view::npos || equal + 1 == whole.size()) {
    std::string shown(whole);
    if (!o.keywords.empty()) {
      if (equal == std::string_view::npos) shown += table.value_separator;
      for (std::size_t k = 0; k < o.keywords.size(); ++k) {
        if (k) shown += '|';
        shown += o.keywords[k].names[table.language];
      }
    }
    return complain(table, MSG_VALUE_MANDATORY, shown);
  }
  std::vector<std::string_view> pieces = split_values(whole.substr(equal + 1), table.list_separator);
  if (pieces.size() > 1 && o.value.list != 'Y') return complain(table, MSG_LIST_OPTION, whole);
  for (std::string_view piece : pieces)
    if (int rc = validate(table, o.value, &o, piece)) return rc;
  return 0;
}

int decode_positional(CommandTable &table, const char *text, std::size_t &next) {
  std::string_view whole(text);
  if (table.params.empty()) return complain(table, MSG_TOO_MANY, whole);
  std::size_t number = next < table.params.size() ? next : table.params.size() - 1;
  ++next;
  CmdParam &p = table.params[number];
  if (p.list != 'Y') {
    if (has_unescaped(whole, table.list_separator)) return complain(table, MSG_LIST_ARGUMENT, whole);
    if (!p.values.empty()) return complain(table, MSG_TOO_MANY, whole);
  }
  for (std::string_view piece : split_values(whole, table.list_separator))
    if (int rc = validate(table, p, nullptr, piece)) return rc;
  return 0;
}

// "/" also begins every absolute path here, so it introduces an option only
// when what follows is an option name (or its abbreviation) without a
// further "/"; anything else is a positional value.
bool slash_introduces_option(const CommandTable &table, const char *text) {
  std::string_view whole(text);
  std::string_view name = whole.substr(0, whole.find(table.value_separator));
  if (name.find('/') != std::string_view::npos) return false;
  return match_items(name, table.options).found();
}

bool help_given(const CommandTable &table) {
  return table.help_option >= 0 && table.help_option < static_cast<int>(table.options.size()) &&
         table.options[table.help_option].state != 0;
}

int decode_all(CommandTable &table, int argc, char **argv) {
  for (CmdParam &p : table.params) p.values.clear();
  for (CmdOption &o : table.options) {
    o.state = 0;
    o.value.values.clear();
    for (CmdKeyword &k : o.keywords) k.used = 0;
  }
  decoder().table = &table;

  std::size_t next = 0;
  for (int i = 1; i < argc; ++i) {
    const char *arg = argv[i];
    if (!arg) continue;
    bool is_option = arg[0] == table.prefix || arg[0] == '-' || arg[0] == '/';
    if (arg[0] == '/' && !slash_introduces_option(table, arg + 1)) is_option = false;
    int rc = is_option ? decode_option(table, arg + 1) : decode_positional(table, arg, next);
    if (rc) return rc;
  }
  for (const CmdParam &p : table.params)
    if (p.values.empty() && !p.optional && !help_given(table))
      return complain(table, MSG_MISSING, p.names[table.language]);

  for (CmdOption &o : table.options) {
    if (o.state == 0) {
      if (o.default_on)
        o.state = 1;
      else if (o.negatable)
        o.state = -1;
    }
    if (o.default_keyword > 0 && o.default_keyword <= static_cast<int>(o.keywords.size())) {
      bool any = false;
      for (const CmdKeyword &k : o.keywords) any = any || k.used;
      if (!any)
        if (int rc = validate(table, o.value, &o, o.keywords[o.default_keyword - 1].names[table.language]))
          return rc;
    }
  }
  for (const CmdRule &r : table.rules)
    if (holds(table, r.first) && holds(table, r.second)) {
      std::string text = std::string(name_of(table, r.first)) + ' ' + table.join_word[table.language] + ' ' +
                         name_of(table, r.second);
      return complain(table, MSG_COMBINATION, text);
    }
  return 0;
}

bool is_name_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool is_option_file_prefix(const char *arg) {
  if (arg[0] != '-' && arg[0] != '/') return false;
  static const char kWord[] = "option";
  for (int i = 0; i < 6; ++i)
    if (lower(arg[1 + i]) != kWord[i]) return false;
  return arg[7] == '=';
}

// An option file is text a person wrote: a device such as /dev/zero or a
// stream that never ends must not keep the decoder reading forever.
constexpr std::size_t kOptionFileLimit = std::size_t(64) << 20;

// Words of an option file. False when it cannot be opened or read, or when
// it holds more than kOptionFileLimit bytes.
bool read_option_file(const char *name, std::vector<std::string> &words) {
  if (sys_is_directory(name)) return false;
  std::FILE *file = sys_fopen(name, "r");
  if (!file) return false;
  std::string word;
  bool in_word = false, quoted = false, comment = false, line_start = true;
  bool backslash = false, joined_cr = false;
  std::vector<char> block(1 << 16);
  auto take = [&] {
    if (in_word) words.push_back(word);
    word.clear();
    in_word = false;
  };
  std::size_t got, total = 0;
  while ((got = std::fread(block.data(), 1, block.size(), file)) > 0) {
    total += got;
    if (total > kOptionFileLimit) {
      std::fclose(file);
      return false;
    }
    for (std::size_t i = 0; i < got; ++i) {
      const char c = block[i];
      if (joined_cr) {  // a backslash before CR LF joins the lines too
        joined_cr = false;
        if (c == '\n') continue;
      }
      if (comment) {
        if (c == '\n' || c == '\r') {
          comment = false;
          line_start = true;
        }
        continue;
      }
      if (backslash) {
        backslash = false;
        if (c == '\r' || c == '\n') {
          joined_cr = c == '\r';
          continue;
        }
        word += '\\';
        word += c;
        in_word = true;
        continue;
      }
      if (c == '\\') {
        backslash = true;
        line_start = false;
        continue;
      }
      if (c == '"') {
        quoted = !quoted;
        in_word = true;
        line_start = false;
        continue;
      }
      if (c == '\0') {  // cannot be part of an argument
        if (!quoted) take();
        continue;
      }
      if (!quoted && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
        take();
        if (c == '\r' || c == '\n') line_start = true;
        continue;
      }
      if (c == '#' && line_start && !quoted && !in_word) {
        comment = true;
        continue;
      }
      word += c;
      in_word = true;
      line_start = false;
    }
  }
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return false;
  take();  // an unterminated quote still ends at the end of the file
  return true;
}

int expand_all(const CommandTable &table, int &argc, char **&argv) {
  std::vector<char *> out;
  out.push_back(argc > 0 ? argv[0] : const_cast<char *>(keep("")));
  std::string expanded;
  for (int i = 1; i < argc; ++i) {
    const char *arg = argv[i];
    if (!arg) continue;
    const char *file = nullptr;
    if (arg[0] == '@')
      file = arg + 1;
    else if (is_option_file_prefix(arg))
      file = arg + 8;
    if (!file) {
      expand_environment(arg, expanded);
      out.push_back(const_cast<char *>(keep(expanded)));
      continue;
    }
    std::vector<std::string> words;
    if (!read_option_file(file, words)) {
      complain(table, MSG_FILE_NOT_FOUND, file);
      return -1;
    }
    for (const std::string &w : words) {
      expand_environment(w.c_str(), expanded);
      out.push_back(const_cast<char *>(keep(expanded)));
    }
  }
  argc = static_cast<int>(out.size());
  out.push_back(nullptr);
  decoder().vectors.push_back(std::move(out));
  argv = decoder().vectors.back().data();
  return 0;
}

}  // namespace

void expand_environment(const char *word, std::string &out) {
  out.clear();
  std::string_view w(word ? word : "");
  std::size_t i = 0;
  while (i < w.size()) {
    const char c = w[i];
    if (c == '$') {
      std::size_t j = i + 1;
      while (j < w.size() && is_name_char(w[j])) ++j;
      if (j == i + 1) {
        out += c;
        ++i;
        continue;
      }
      std::string name(w.substr(i + 1, j - i - 1));
      const char *value = sys_getenv(name.c_str());
      if (value)
        out += value;
      else
        out.append(w.substr(i, j - i));
      i = j;
      continue;
    }
    if (c == '%') {
      std::size_t close = w.find('%', i + 1);
      if (close == std::string_view::npos) {
        out += c;
        ++i;
        continue;
      }
      std::string name(w.substr(i + 1, close - i - 1));
      const char *value = name.empty() ? nullptr : sys_getenv(name.c_str());
      if (value)
        out += value;
      else
        out.append(w.substr(i, close + 1 - i));
      i = close + 1;
      continue;
    }
    out += c;
    ++i;
  }
}

int expand_arguments(const CommandTable &table, int &argc, char **&argv) {
  try {
    return expand_all(table, argc, argv);
  } catch (const std::bad_alloc &) {
    complain_no_memory();
    return -1;
  }
}

int decode_command(CommandTable &table, int argc, char **argv) {
  try {
    return decode_all(table, argc, argv);
  } catch (const std::bad_alloc &) {
    complain_no_memory();
    return MSG_NO_MEMORY + 1;
  }
}

int option_state(const char *name) {
  const CommandTable *table = decoder().table;
  if (table && name) {
    std::string_view wanted(name);
    for (std::size_t i = 0; i < table->options.size(); ++i) {
      const char *own = table->options[i].names[table->language];
      if (own && std::strlen(own) == wanted.size() && same_prefix(wanted, own)) {
        const int state = table->options[i].state;
        const int position = static_cast<int>(i) + 1;
        return state > 0 ? position : state < 0 ? -position : 0;
      }
    }
  }
  print_line(head() + " : " + cab(MSG_BAD_NAME) + ' ' + (name ? name : "") + '\n');
  return 0;
}

const CmdValue *option_value(int position, int k) {
  const CommandTable *table = decoder().table;
  if (!table) return nullptr;
  if (position < 0) position = -position;
  if (position < 1 || position > static_cast<int>(table->options.size())) return nullptr;
  const std::vector<CmdValue> &values = table->options[position - 1].value.values;
  if (k < 1 || k > static_cast<int>(values.size())) return nullptr;
  return &values[k - 1];
}

const CmdValue *parameter_value(int p, int k) {
  const CommandTable *table = decoder().table;
  if (!table || p < 1 || p > static_cast<int>(table->params.size())) return nullptr;
  const std::vector<CmdValue> &values = table->params[p - 1].values;
  if (k < 1 || k > static_cast<int>(values.size())) return nullptr;
  return &values[k - 1];
}
