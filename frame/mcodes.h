// The message codes of the tool: one table, one row per code.
//
// A row names the module whose catalogue holds the text (it picks the
// translation context and the registration call), the code, how the text is
// registered and its English source text. The list a row sits in is the
// severity every report of that code has: report_warning takes a WarningCode
// only, so a code reported with another severity than its row's, or a
// misspelt code, does not compile. A code has one row, hence one text.
//
// Forms: CODE is translated with the translator comment naming the code,
// PLAIN is translated without comment, SUMMARY is translated with the note on
// its empty arguments, RAW is stored as written (the text only carries the
// caller's words), UNLISTED is never registered: its line shows the two
// arguments separated by a blank.
#pragma once
#include <cstdint>

#define ORTEK_INTERNAL_MESSAGES(X)                                                          \
  X(ANA_C_CPP, ERRINTERN, CODE, "%1Internal error in %2")                                   \
  X(BIBLI, DEBORCASE, CODE, "%1CASE overflow in the module %2")                             \
  X(BIBLI, ERRINTFCT, CODE, "%1Internal error in the function %2")                          \
  X(BIBLI, NOMESSDEF, CODE, "Undefined message for code number %1")                         \
  X(BIBLI, TRFSTRINT, CODE, "%1Cannot convert string %2 into an integer value")             \
  X(ANA_C_CPP, INVHASTYP, CODE, "%1Preprocessor error: invalid special hash type %2")

#define ORTEK_FATAL_MESSAGES(X)                                                                              \
  X(SQUELET, IMPFICREN, CODE, "%1Unable to rename the file 'generated_file' in 'generated_file'_bck: %2")   \
  X(BIBLI, CMDFATALE, CODE, "%1Wrong command line %2")                                                      \
  X(BIBLI, ERRFATALE, CODE, "%1Program shutdown: user fatal error %2")                                      \
  X(BIBLI, IMPECRFIC, CODE, "%1Full disk space %2")                                                         \
  X(BIBLI, IMPFERFIC, CODE, "%1Cannot close the file %2")                                                   \
  X(BIBLI, IMPOUVFIC, CODE, "%1Cannot open the file %2")                                                    \
  X(ANA_C_CPP, NBRECURSI, CODE, "%1There are too many macro or include recursions %2")

#define ORTEK_ERROR_MESSAGES(X)                                                             \
  X(MODBAS, FICERROPN, PLAIN, "File %1 opening problem")                                    \
  X(MODBAS, EROPFICMD, PLAIN, "Incorrect option in option file: %1")                        \
  X(BIBLI, ERRPROCES, RAW, "%1%2")                                                          \
  X(BIBLI, DIVBYZERO, CODE, "%1Division by zero")                                           \
  X(BIBLI, OVERFLOW, CODE, "%1Integer operation overflow %2")                               \
  X(BIBLI, LANSWITCH, CODE, "%1Incorrect value for ORTEKLAN environment variable: %2")      \
  X(ANA_C_CPP, UNEXP_EOF, CODE, "%1Unexpected end of file or incomplete line: %2")

#define ORTEK_WARNING_MESSAGES(X)                                                                                        \
  X(BIBLI, CMDERREUR, CODE, "%1Bad command: %2")                                                                        \
  X(BIBLI, NOMPARINC, CODE, "%1Bad parameter name %2")                                                                  \
  X(BIBLI, ERRPROCEW, RAW, "%1%2")                                                                                      \
  X(BIBLI, INCLTYPER, CODE, "%1%2 is not a directory ")                                                                 \
  X(ANA_C_CPP, WARNERR, UNLISTED, "")                                                                                   \
  X(ANA_C_CPP, AFFECTATI, CODE, "%1Assignment not allowed in Unit Testing expressions %2")                              \
  X(ANA_C_CPP, ARGPUNCTU, CODE, "%1%2 argument starts with punctuation")                                                \
  X(ANA_C_CPP, ARGTOMACR, CODE, "%1Unexpected argument for macro %2")                                                   \
  X(ANA_C_CPP, AUTOTYPIN, CODE, "%1Type of %2 not deduced from its initialiser: the variable is left out")              \
  X(ANA_C_CPP, BADPARDEF, CODE, "%1Bad parameter list in `#define' directive: %2")                                      \
  X(ANA_C_CPP, CHAMPINCO, CODE, "%1Unknown field %2")                                                                   \
  X(ANA_C_CPP, CONSTRINC, CODE, "%1Unknown constructor %2")                                                             \
  X(ANA_C_CPP, CONSTRUCT, CODE, "%1Bad construction %2")                                                                \
  X(ANA_C_CPP, CSTCARVID, CODE, "%1Empty character constant %2")                                                        \
  X(ANA_C_CPP, DIVISZERO, CODE, "%1Division by zero in %2")                                                             \
  X(ANA_C_CPP, ELIFAELSE, CODE, "%1 %2 after else")                                                                     \
  X(ANA_C_CPP, EMPTYEXPR, CODE, "%1Empty %2 expression")                                                                \
  X(ANA_C_CPP, ENTOUTRAN, CODE, "%1Integer constant %2 out of range")                                                   \
  X(ANA_C_CPP, ERDEFINED, CODE, "%1The `defined' directive  must be followed by ident or (ident)  %2")                  \
  X(ANA_C_CPP, ERINCLUDE, CODE, "%1#include expects a filename: %2")                                                    \
  X(ANA_C_CPP, ERRINLINE, CODE, "%1Error in line: %2")                                                                  \
  X(ANA_C_CPP, EXPERRONE, CODE, "%1Bad expression %2")                                                                  \
  X(ANA_C_CPP, FICINCONN, CODE, "%1Preprocessor error: not in any file %2")                                             \
  X(ANA_C_CPP, FUNCT_DEF, CODE, "%1Incorrect function definition: %2")                                                  \
  X(ANA_C_CPP, IDENREDEF, CODE, "%1Warning: %2 redefined")                                                              \
  X(ANA_C_CPP, IDENTIINC, CODE, "%1Unknown ident %2")                                                                   \
  X(ANA_C_CPP, INCPOIMEM, CODE, "%1Incorrect pointer member: %2")                                                       \
  X(ANA_C_CPP, INVALIEND, CODE, "%1Bad end of line after %2 argument")                                                  \
  X(ANA_C_CPP, INVAMACRO, CODE, "%1invalid macro name %2")                                                              \
  X(ANA_C_CPP, INVCHASTR, CODE, "%1Invalid member selection of a non structure or union %2")                            \
  X(ANA_C_CPP, INVCSTCAR, CODE, "%1Malformatted character constant: %2")                                                \
  X(ANA_C_CPP, INVDEFINE, CODE, "%1Impossible defining `defined' as a macro %2")                                        \
  X(ANA_C_CPP, MALFOROPT, CODE, "%1Malformed option %2")                                                                \
  X(ANA_C_CPP, MODACCINC, CODE, "%1Incorrect access modifier: unknown inherited member %2 ")                            \
  X(ANA_C_CPP, MULCARCST, CODE, "%1Multi-character character constant %2")                                              \
  X(ANA_C_CPP, NBARGMACR, CODE, "%1Bad number of arg(s) to macro %2")                                                   \
  X(ANA_C_CPP, NOARGUMEN, CODE, "%1%2 with no argument")                                                                \
  X(ANA_C_CPP, NOARTOMAC, CODE, "%1No argument passed to macro %2")                                                     \
  X(ANA_C_CPP, NOCONDITI, CODE, "%1%2 directive not within conditional")                                                \
  X(ANA_C_CPP, NOFITBYTE, CODE, "%1Octal or hex character constant does not fit in a byte %2")                          \
  X(ANA_C_CPP, NOHEXDIGI, CODE, "%1\\x used with no following hex digits %2")                                           \
  X(ANA_C_CPP, NONFONCTI, CODE, "%1%2 is not a function")                                                               \
  X(ANA_C_CPP, NONPOINTE, CODE, "%1%2 is not a pointeur")                                                               \
  X(ANA_C_CPP, NONTABLEA, CODE, "%1%2 is not an array")                                                                 \
  X(ANA_C_CPP, NOPOSTRUC, CODE, "%1Not pointed structure or union %2")                                                  \
  X(ANA_C_CPP, OPERARITH, CODE, "%1%2 operation only allowed on numeric types (integer or real)")                       \
  X(ANA_C_CPP, OPERENTIE, CODE, "%1%2 operation only allowed on integer types")                                         \
  X(ANA_C_CPP, OPERMACRO, CODE, "%1`#' operator should be followed by a macro argument name: %2")                       \
  X(ANA_C_CPP, OPERSCALA, CODE, "%1%2 operation only allowed on scalar types (integer, real, enum, pointer)")            \
  X(ANA_C_CPP, PARASTART, CODE, "%1Parameter name n `#define' starts with a digit: %2")                                 \
  X(ANA_C_CPP, POINSTRUC, CODE, "%1Pointed structure or union %2")                                                      \
  X(ANA_C_CPP, POSTDECRE, CODE, "%1Post-incrementation not allowed in Unit Testing expressions %2")                     \
  X(ANA_C_CPP, POSTINCRE, CODE, "%1Post-incrementation not allowed in Unit Testing expressions %2")                     \
  X(ANA_C_CPP, REDEFSTRU, CODE, "%1Structure or union data type %2 redefined")                                          \
  X(ANA_C_CPP, REDEFSYMB, CODE, "%1Symbol %2 redefined")                                                                \
  X(ANA_C_CPP, SEQUEINCO, CODE, "%1Unknown escape sequence %2")                                                         \
  X(ANA_C_CPP, SOUSEXPRE, CODE, "%1\"exp1, exp2, ..\" expressions not allowed in Unit Testing expressions %2")          \
  X(ANA_C_CPP, STARTDIGI, CODE, "%1%2 argument starts with a digit")                                                    \
  X(ANA_C_CPP, SYNTAXERR, CODE, "%1Syntax error: %2")                                                                   \
  X(ANA_C_CPP, TEMINSINC, CODE, "%1Incorrect template instantiation: %2")                                               \
  X(ANA_C_CPP, TEMPLADEC, CODE, "%1Incorrect template declaration: %2")                                                 \
  X(ANA_C_CPP, TOLOCSTCA, CODE, "%1Too long character constant %2")                                                     \
  X(ANA_C_CPP, TOMANYARG, CODE, "%1Too many args to macro %2")                                                          \
  X(ANA_C_CPP, TYPESDIFF, CODE, "%1Different types in list %2")                                                         \
  X(ANA_C_CPP, TYPMODINC, CODE, "%1Incorrect type modifier %2")                                                         \
  X(ANA_C_CPP, UNBAENDIF, CODE, "%1unbalanced endif %2")                                                                \
  X(ANA_C_CPP, UNDEFININ, CODE, "%1Undefining %2")                                                                      \
  X(ANA_C_CPP, UNTERCOMM, CODE, "%1unterminated comment %2")                                                            \
  X(ANA_C_CPP, UNTERCOND, CODE, "%1unterminated #%2 conditional")                                                       \
  X(ANA_C_CPP, UNTERSTRI, CODE, "%1A string or character constant unterminated %2")                                     \
  X(ANA_C_CPP, UNTPARDEF, CODE, "%1Unterminated parameter list in `#define' directive: %2")

#define ORTEK_INFO_MESSAGES(X)                                                                                           \
  X(SQUELET, FICRENAME, CODE, "%1The file 'generated_file' has been renamed in 'generated_file'_bck: %2")               \
  X(MODBAS, ENDERRWAR, PLAIN, "End of execution with %1 error(s) and %2 warning(s)")                                    \
  X(MODBAS, ENDNOEWAR, PLAIN, "End of execution with %1%2 warning(s)")                                                  \
  X(MODBAS, ENDNOENWR, SUMMARY, "End of execution with 0 error and 0 warning%1%2")                                      \
  X(MODBAS, ENDERRNWR, PLAIN, "End of execution with %1 error(s)")                                                      \
  X(MODBAS, COPYRIGHT, RAW, "%1%2")                                                                                     \
  X(BIBLI, STARTEXEC, RAW, "%1%2")                                                                                      \
  X(BIBLI, FINEXECUT, CODE, "%1completed %2")                                                                           \
  X(BIBLI, USAGE_CMD, RAW, "%1 %2 ")                                                                                    \
  X(ANA_C_CPP, MATCHLINE, CODE, "%1Matches line %2")                                                                    \
  X(ANA_C_CPP, INCLCASSE, CODE, "%1Included file found ignoring case: %2")

enum Severity : int {
  SEV_INTERNAL = 0,  // 'S', exit 9
  SEV_FATAL = 1,     // 'F', exit 7
  SEV_ERROR = 2,     // 'E', counted
  SEV_WARNING = 3,   // 'W', counted
  SEV_INFO = 4       // 'I'
};

// The modules in their registration order.
enum class MessageModule : std::uint8_t { SQUELET, MODBAS, BIBLI, ANA_C_CPP };
enum class MessageForm : std::uint8_t { CODE, PLAIN, SUMMARY, RAW, UNLISTED };

// One enumeration per severity; their values follow each other, so that a
// MessageCode indexes the one table.
#define ORTEK_MESSAGE_ENUMERATOR(module, code, form, text) MSG_##code,
enum InternalCode : std::uint16_t { ORTEK_INTERNAL_MESSAGES(ORTEK_MESSAGE_ENUMERATOR) INTERNAL_CODES_END };
enum FatalCode : std::uint16_t {
  FATAL_CODES_BEFORE = INTERNAL_CODES_END - 1,
  ORTEK_FATAL_MESSAGES(ORTEK_MESSAGE_ENUMERATOR) FATAL_CODES_END
};
enum ErrorCode : std::uint16_t {
  ERROR_CODES_BEFORE = FATAL_CODES_END - 1,
  ORTEK_ERROR_MESSAGES(ORTEK_MESSAGE_ENUMERATOR) ERROR_CODES_END
};
enum WarningCode : std::uint16_t {
  WARNING_CODES_BEFORE = ERROR_CODES_END - 1,
  ORTEK_WARNING_MESSAGES(ORTEK_MESSAGE_ENUMERATOR) WARNING_CODES_END
};
enum InfoCode : std::uint16_t {
  INFO_CODES_BEFORE = WARNING_CODES_END - 1,
  ORTEK_INFO_MESSAGES(ORTEK_MESSAGE_ENUMERATOR) INFO_CODES_END
};
#undef ORTEK_MESSAGE_ENUMERATOR

// Any code, whatever its severity: what report callbacks carry.
class MessageCode {
  constexpr explicit MessageCode(std::uint16_t id) : id_(id) {}

 public:
  constexpr MessageCode(InternalCode c) : id_(c) {}
  constexpr MessageCode(FatalCode c) : id_(c) {}
  constexpr MessageCode(ErrorCode c) : id_(c) {}
  constexpr MessageCode(WarningCode c) : id_(c) {}
  constexpr MessageCode(InfoCode c) : id_(c) {}
  // The code of a table row (0 <= index < MESSAGE_CODE_COUNT).
  static constexpr MessageCode at(int index) {
    return MessageCode(static_cast<std::uint16_t>(index));
  }
  constexpr int index() const { return id_; }
  constexpr Severity severity() const {
    return id_ < INTERNAL_CODES_END ? SEV_INTERNAL
           : id_ < FATAL_CODES_END  ? SEV_FATAL
           : id_ < ERROR_CODES_END  ? SEV_ERROR
           : id_ < WARNING_CODES_END ? SEV_WARNING
                                     : SEV_INFO;
  }
  friend constexpr bool operator==(MessageCode a, MessageCode b) { return a.id_ == b.id_; }
  friend constexpr bool operator!=(MessageCode a, MessageCode b) { return a.id_ != b.id_; }

 private:
  std::uint16_t id_;
};

constexpr int MESSAGE_CODE_COUNT = INFO_CODES_END;

struct MessageInfo {
  const char *code;  // as printed: "IMPOUVFIC"
  MessageModule module;
  MessageForm form;
  const char *text;  // English source text, the key of its translations
};

// The row of a code.
const MessageInfo &message_info(MessageCode code);
inline const char *message_name(MessageCode code) { return message_info(code).code; }
// Every row, in code order (MESSAGE_CODE_COUNT of them).
const MessageInfo *message_table();
