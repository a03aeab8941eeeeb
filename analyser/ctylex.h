// Token scanner of the declaration analyser: reads the preprocessed text,
// keeps the source position that every analyser report carries, classifies
// identifiers through the symbol table and captures template bodies whole.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cpptab.h"
#include "mfmath.h"

// Keywords, in the order of their token codes.
#define ORTEK_KEYWORDS(X)                                                                    \
  X(ASM, "asm") X(AUTO, "auto") X(BOOL, "bool") X(BREAK, "break") X(CASE, "case")            \
  X(CATCH, "catch") X(CHAR, "char") X(CLASS, "class") X(CONST, "const")                     \
  X(CONST_CAST, "const_cast") X(CONTINUE, "continue") X(DEFAULT, "default")                  \
  X(DELETE, "delete") X(DO, "do") X(DOUBLE, "double") X(DYNAMIC_CAST, "dynamic_cast")        \
  X(ELSE, "else") X(ENUM, "enum") X(EXPLICIT, "explicit") X(EXPORT, "export")                \
  X(EXTERN, "extern") X(FALSE, "false") X(FLOAT, "float") X(FOR, "for") X(FRIEND, "friend") \
  X(GOTO, "goto") X(IF, "if") X(INLINE, "inline") X(INT, "int") X(LONG, "long")              \
  X(MUTABLE, "mutable") X(NAMESPACE, "namespace") X(NEW, "new") X(OPERATOR, "operator")      \
  X(OVERLOAD, "overload") X(PRIVATE, "private") X(PROTECTED, "protected")                    \
  X(PUBLIC, "public") X(REGISTER, "register") X(REINTERPRET_CAST, "reinterpret_cast")        \
  X(RETURN, "return") X(SHORT, "short") X(SIGNED, "signed") X(SIZEOF, "sizeof")              \
  X(STATIC, "static") X(STATIC_CAST, "static_cast") X(STRUCT, "struct") X(SWITCH, "switch") \
  X(TEMPLATE, "template") X(THIS, "this") X(THROW, "throw") X(TRUE, "true") X(TRY, "try")    \
  X(TYPEDEF, "typedef") X(TYPEID, "typeid") X(TYPENAME, "typename") X(UNION, "union")        \
  X(UNSIGNED, "unsigned") X(USING, "using") X(VIRTUAL, "virtual") X(VOID, "void")            \
  X(VOLATILE, "volatile") X(WHILE, "while") X(WCHAR_T, "wchar_t")

// Punctuators of more than one character. Single characters ( ) , { } [ ]
// . & * + - ~ ! / % < > ^ | ? : ; = @ are returned as their character code.
#define ORTEK_PUNCTUATORS(X)                                                                  \
  X(DOT_STAR, ".*") X(SCOPE, "::") X(ARROW, "->") X(ARROW_STAR, "->*") X(INCR, "++")           \
  X(DECR, "--") X(SHL, "<<") X(SHR, ">>") X(LE, "<=") X(GE, ">=") X(EQ, "==") X(NE, "!=")      \
  X(AND_AND, "&&") X(OR_OR, "||") X(MUL_ASSIGN, "*=") X(DIV_ASSIGN, "/=") X(MOD_ASSIGN, "%=")  \
  X(ADD_ASSIGN, "+=") X(SUB_ASSIGN, "-=") X(SHL_ASSIGN, "<<=") X(SHR_ASSIGN, ">>=")            \
  X(AND_ASSIGN, "&=") X(XOR_ASSIGN, "^=") X(OR_ASSIGN, "|=") X(ELLIPSIS, "...")                \
  X(RANGE, "..") X(IMPLIES, "=>")

enum TokenCode : int {
  T_END = 0,
  T_IDENTIFIER = 256,
  T_CLASS_NAME,             // a class, structure or namespace name
  T_TEMPLATE_NAME,          // a class template without a body yet
  T_DEFINED_TEMPLATE_NAME,  // a class template with its body
  T_DECLARED_NAME,          // typedef name, enumeration, union, variable, function...
  T_TYPE_MODIFIER,          // registered with the type_modifier pragma
  T_INTEGER,
  T_FLOATING,
  T_CHARACTER,
  T_STRING,
  T_TEMPLATE_OPEN,
  T_TEMPLATE_CLOSE,
  T_BODY_TEXT,              // "{...}" captured after a template header
  T_BASE_AND_BODY,          // ": bases {...}" captured after a template header
  T_INIT_TEXT,              // "=..." captured after a template header (no ';')
  T_RADIX_INTEGER,          // 0FFh, 101b: expression texts only
#define ORTEK_X(id, text) P_##id,
  ORTEK_PUNCTUATORS(ORTEK_X)
#undef ORTEK_X
#define ORTEK_X(id, text) K_##id,
  ORTEK_KEYWORDS(ORTEK_X)
#undef ORTEK_X
  T_LAST
};

// Words that are keywords only in some places, dialects or language
// versions (later C++ specifiers, compiler extensions, C's spelling of
// bool): the scanner returns them as names (or as the keyword they spell),
// the grammar tells them apart by these codes, found by contextual_word.
#define ORTEK_CONTEXTUAL_WORDS(X)                                                             \
  X(ALIGNAS, "alignas") X(C_BOOL, "_Bool") X(CHAR8_T, "char8_t") X(CHAR16_T, "char16_t")     \
  X(CHAR32_T, "char32_t") X(CONSTEXPR, "constexpr") X(DECLTYPE, "decltype")                   \
  X(EXTENSION, "__extension__") X(FINAL, "final") X(NOEXCEPT, "noexcept")                     \
  X(OVERRIDE, "override") X(STATIC_ASSERT, "static_assert") X(THREAD_LOCAL, "thread_local")  \
  X(TYPEOF, "__typeof") X(TYPEOF_UNDERSCORES, "__typeof__")

enum ContextualWord : int {
  W_NONE = 0,
#define ORTEK_X(id, text) W_##id,
  ORTEK_CONTEXTUAL_WORDS(ORTEK_X)
#undef ORTEK_X
  W_LAST
};

// The contextual word a name is, W_NONE when it is none.
int contextual_word(const char *word, std::size_t length);
// The lengths of the contextual words, one bit each.
constexpr unsigned contextual_word_lengths() {
  unsigned bits = 0;
#define ORTEK_X(id, text) bits |= 1u << (sizeof(text) - 1);
  ORTEK_CONTEXTUAL_WORDS(ORTEK_X)
#undef ORTEK_X
  return bits;
}
// contextual_word for a name without a zero among its `length` characters
// (every name the scanner reads): one of another length than every word's
// is none, told without the call.
inline int contextual_word_of_name(const char *name, std::size_t length) {
  constexpr unsigned lengths = contextual_word_lengths();
  return length < 32 && ((lengths >> length) & 1u) ? contextual_word(name, length) : W_NONE;
}
inline int contextual_word(const char *word) {
  return word ? contextual_word(word, std::char_traits<char>::length(word)) : W_NONE;
}

// Spelling of a token code ("int", "::", "(", "<identifier>" ...).
const char *token_spelling(int code);
// The same spelling with its length, for the grammar's tokens.
std::string_view token_spelling_view(int code);

// The keyword code a word has in a language, 0 when it is none there.
int keyword_code(const char *word, std::size_t length, SourceLanguage language);
// The keywords of the basic types (void, char, int, ..., bool, wchar_t).
bool is_basic_type_keyword(int code);
// The keywords that begin a type name: basic types, class keys, enum,
// cv-qualifiers, typename.
bool is_type_name_keyword(int code);

// What a scan reads. Declarations: a preprocessed file, with its line
// markers, names classified through the table and template bodies captured.
// Expression: the text of one expression of the test language (enumerator
// value, array bound, initialiser), which also has the radix constants 0FFh
// and 101b, the range "[1..5]" and the association "name => value"; there a
// leading 0 keeps every decimal digit that follows in one constant ("09"), a
// quote not closed on its line ends the literal at the end of the line (the
// constant's conversion reports it), names are not classified and keywords
// keep their codes (the expression grammar reads them as names where a name
// can stand).
enum ScanMode : int { SCAN_DECLARATIONS = 0, SCAN_EXPRESSION = 1 };

enum ScannerState : int { LS_NORMAL = 0, LS_AFTER_TEMPLATE = 1, LS_TEMPLATE_ARGUMENTS = 2,
                          LS_TEMPLATE_DECLARATION = 3 };

// How sure the scanner is that a name stands for a value, which cannot take
// template arguments, so that a '<' after it compares.
enum ValueName : unsigned char {
  VN_NONE = 0,
  VN_VALUE = 1,     // an enumerator, a non-type template parameter: everywhere
  VN_DEPENDENT = 2  // a member of a class the table does not know (tr<T>::value): in parentheses
};

struct TokenValue {
  const char *text = nullptr;  // interned: identifier name, constant or literal text
  Symbol *symbol = nullptr;    // entry found by classification
  TypeDesc *type = nullptr;    // its type (the class for a class name)
  int found = 0;               // the name was found in the table
  std::string captured;        // captured text (body, bases, initialiser)
  ValueName names_value = VN_NONE;
};

// Where a scan is: file and line, one record per scan begun and not ended.
struct PositionRecord {
  std::string file;
  int line = 1;
  PositionRecord *below = nullptr;
};

// A position reports are made at.
struct SourcePosition {
  const char *file = nullptr;  // interned, or none
  int line = 0;
};

// What the grammar tells the scanner about the scopes it has open; each
// hook receives `owner`.
struct LexHooks {
  void *owner = nullptr;
  // The current scope context (none: file scope).
  ScopeContext (*scope)(void *owner) = nullptr;
  // The name is in the innermost open scope's own name list.
  bool (*own_name)(void *owner, const char *name) = nullptr;
  // Inside a template header: 0 not a template parameter, 1 a type
  // parameter, 2 a parameter declared with "class", 3 a non-type parameter.
  int (*template_parameter)(void *owner, const char *name) = nullptr;
  // Where a name not found from the current scope is looked up next (the
  // scope that used a template, for its instance: an argument names what
  // is visible there).
  ScopeContext (*fallback_scope)(void *owner) = nullptr;
};

// What the scan of a token changes besides the text, the line and the
// parentheses of template arguments: one record, which every token's start
// keeps for lex_unread_token in one copy.
struct TokenScanState {
  bool at_line_start = true;
  ScannerState state = LS_NORMAL;
  // A "template" header is being read: 1, plus the parentheses open in the
  // declaration after it (a '=' inside them starts a default argument).
  int template_declaration = 0;
  int template_nesting = 0;             // unclosed '<' inside template arguments
  int last_token = T_END;
  ValueName last_value_name = VN_NONE;  // TokenValue::names_value of the last token
  TypeDesc *qualifier = nullptr;        // class remembered for a following "::", "~", "operator"
};

// State at the start of the last token, for lex_unread_token.
struct TokenStartState {
  const char *text = nullptr;
  TokenScanState scan;
  int line = 0;
  bool valid = false;
  std::string template_parens;
};

// One per analysis: a nested analysis scans with a scanner of its own.
struct TokenScanner {
  const char *text = nullptr;         // next character
  const char *token_start = nullptr;  // start of the current token
  std::string pushback;               // characters returned to the input, read first
  TokenScanState scan;
  // Parentheses and braces open inside template arguments, each the nesting
  // of '<' it was opened at: a '>' at that nesting is an operator
  // (decltype(a >> b), X<T{a > b}>).
  std::string template_parens;
  PositionRecord *position = nullptr;
  const char *current_file = nullptr; // interned copy of the position's file name
  // Text of the last token (no length limit): a view of the scanned text,
  // valid until the next token is read.
  std::string_view token_text;
  TokenValue value;
  SymbolTable *table = nullptr;
  SourceLanguage language = SRC_CPP;  // the table's, taken when the scan begins
  ScanMode mode = SCAN_DECLARATIONS;
  bool keep_bodies = false;
  bool lenient_matching = false;
  LexHooks hooks;
  ReportSink sink;                    // where the scan's syntax errors go
  bool at_end = false;                // the end code has been returned
  long skipped_characters = 0;        // characters that matched no rule
  TokenStartState token_state;        // for lex_unread_token
  std::string pushback_buffer;        // pushed-back characters being scanned
  const char *resume_text = nullptr;  // where the text continues after the push-back
  const char *fetched_to = nullptr;   // end of the last name whose pool slot was fetched ahead

  TokenScanner() = default;
  TokenScanner(const TokenScanner &) = delete;
  TokenScanner &operator=(const TokenScanner &) = delete;
  ~TokenScanner();
};

// Line markers whose names have their backslashes doubled and their quotes
// escaped (the preprocessor's PREPRO_ONLY form) are read back to the plain
// name; a process-wide switch, read when a scan begins.
void lex_set_escaped_line_names(bool on);

// Starts a scan of `text` on `s` (pushes a position record) and ends it.
void lex_begin(TokenScanner &s, SymbolTable *table, const char *file, int line, bool keep_bodies,
               bool lenient);
void lex_set_text(TokenScanner &s, const char *text);
void lex_end(TokenScanner &s);  // pops the position record

int lex_next(TokenScanner &s);
// Re-scans the last token on the next lex_next.
void lex_unread_token(TokenScanner &s);
void lex_unput(TokenScanner &s, char c);

// One token of an expression text: its code, its spelling and its span.
struct ExpressionToken {
  int code = T_END;
  std::string_view text;
  std::size_t begin = 0, end = 0;
};
// The tokens of an expression text (a scan in SCAN_EXPRESSION mode), ending
// with one T_END token; the spellings point into `text`.
std::vector<ExpressionToken> lex_expression(const char *text);
// Whether a code is a keyword's.
inline bool is_keyword_code(int code) { return code >= K_ASM && code < T_LAST; }

// Saved scanner position for look-ahead by the grammar.
struct LexMark {
  const char *text;
  std::string pushback;
  TokenScanState scan;
  int line;
  std::string file;
  const char *current_file;
  std::string template_parens;
};
LexMark lex_mark(const TokenScanner &s);
void lex_restore(TokenScanner &s, const LexMark &mark);
// lex_restore to a mark taken now, without the copies of one.
void lex_restore_here(TokenScanner &s);

// The syntax-error routine of the grammar: "SYNTAXERR" with the text of the
// current token, or "UNEXP_EOF" at the end of the text.
void lex_syntax_error(TokenScanner &s);

const char *lex_current_file(const TokenScanner &s);
int lex_current_line(const TokenScanner &s);
SourcePosition lex_position(const TokenScanner &s);

// Skips bracket-balanced text to a stop character. Returns the stop
// character's position (or just after it with include_stop), null when the
// text ends first. Newlines add to *lines when given; a "#line" marker at the
// start of a skipped line sets *lines (and, when *lines is the line counter
// of `scanner`, that scanner's current file too), other directive lines are
// passed over as one line each.
const char *skip_balanced(const char *text, const char *stops, bool include_stop, bool nesting,
                          int *lines, TokenScanner *scanner = nullptr);
// Skips from *cursor, moves it, and returns prefix + the skipped text; ok
// (when given) tells whether a stop was found (else the text is empty).
std::string capture_text(const char **cursor, const char *stops, bool include_stop, bool nesting,
                         int *lines, const char *prefix, bool normalise, bool *ok = nullptr,
                         TokenScanner *scanner = nullptr);
// The blank normalisation of capture_text on its own.
std::string normalise_text(const std::string &text);

// Value of a numeric or character constant.
struct ConstantValue {
  int kind = 0;           // 0 integer, 1 floating
  BigInt value{};         // integer value
  int width = 0;          // bits; negative when signed
  int is_unsigned = 0;
  std::string suffix;     // as written, lower case: "u", "l", "ul", "ll", "ull"; "f" or "L" for floating
  std::string text;       // floating constants keep their text
};

// Warnings about a constant go to `report` with its `context` (none: the
// analyser's report function, without a position).
using ConstantReport = void (*)(void *context, WarningCode code);
void convert_integer(const char *text, ConstantValue &out, ConstantReport report = nullptr,
                     void *context = nullptr);  // decimal, octal, hexadecimal
void convert_radix_integer(const char *text, ConstantValue &out, ConstantReport report = nullptr,
                           void *context = nullptr);  // trailing h/H or b/B
void convert_floating(const char *text, ConstantValue &out);
void convert_character(const char *text, ConstantValue &out, ConstantReport report = nullptr,
                       void *context = nullptr);

// Handles one directive line (the text after '#', up to the newline): #line
// and the sizeof/signof pragmas. Returns true for a well-formed #line.
bool lex_directive_line(TokenScanner &s, const char *line, std::size_t length);
