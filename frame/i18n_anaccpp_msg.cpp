#include "i18n_anaccpp_msg.h"

namespace {
constexpr const char *kInternal = "Internal Error (ana_c_cpp)";
constexpr const char *kFatal = "Fatal Error (ana_c_cpp)";
constexpr const char *kError = "Error (ana_c_cpp)";
constexpr const char *kWarning = "Warning (ana_c_cpp)";
constexpr const char *kInformation = "Information (ana_c_cpp)";

// Code, translation context (none: stored as written), English text,
// translator comment. Registration follows this order.
constexpr MessageEntry kMessages[] = {
    {"ERRINTERN", kInternal, "%1Internal error in %2", "Error code \"ERRINTERN\""},
    {"NBRECURSI", kFatal, "%1There are too many macro or include recursions %2", "Error code \"NBRECURSI\""},
    {"UNEXP_EOF", kError, "%1Unexpected end of file or incomplete line: %2", "Error code \"UNEXP_EOF\""},
    {"AFFECTATI", kWarning, "%1Assignment not allowed in Unit Testing expressions %2", "Error code \"AFFECTATI\""},
    {"ARGPUNCTU", kWarning, "%1%2 argument starts with punctuation", "Error code \"ARGPUNCTU\""},
    {"ARGTOMACR", kWarning, "%1Unexpected argument for macro %2", "Error code \"ARGTOMACR\""},
    {"BADPARDEF", kWarning, "%1Bad parameter list in `#define' directive: %2", "Error code \"BADPARDEF\""},
    {"CHAMPINCO", kWarning, "%1Unknown field %2", "Error code \"CHAMPINCO\""},
    {"CONSTRINC", kWarning, "%1Unknown constructor %2", "Error code \"CONSTRINC\""},
    {"CONSTRUCT", kWarning, "%1Bad construction %2", "Error code \"CONSTRUCT\""},
    {"CSTCARVID", kWarning, "%1Empty character constant %2", "Error code \"CSTCARVID\""},
    {"DIVISZERO", kWarning, "%1Division by zero in %2", "Error code \"DIVISZERO\""},
    {"ELIFAELSE", kWarning, "%1 %2 after else", "Error code \"ELIFAELSE\""},
    {"EMPTYEXPR", kWarning, "%1Empty %2 expression", "Error code \"EMPTYEXPR\""},
    {"ENTOUTRAN", kWarning, "%1Integer constant %2 out of range", "Error code \"ENTOUTRAN\""},
    {"ERDEFINED", kWarning, "%1The `defined' directive  must be followed by ident or (ident)  %2", "Error code \"ERDEFINED\""},
    {"ERINCLUDE", kWarning, "%1#include expects a filename: %2", "Error code \"ERINCLUDE\""},
    {"ERRINLINE", kWarning, "%1Error in line: %2", "Error code \"ERRINLINE\""},
    {"EXPERRONE", kWarning, "%1Bad expression %2", "Error code \"EXPERRONE\""},
    {"FICINCONN", kWarning, "%1Preprocessor error: not in any file %2", "Error code \"FICINCONN\""},
    {"FUNCT_DEF", kWarning, "%1Incorrect function definition: %2", "Error code \"FUNCT_DEF\""},
    {"IDENREDEF", kWarning, "%1Warning: %2 redefined", "Error code \"IDENREDEF\""},
    {"IDENTIINC", kWarning, "%1Unknown ident %2", "Error code \"IDENTIINC\""},
    {"INCPOIMEM", kWarning, "%1Incorrect pointer member: %2", "Error code \"INCPOIMEM\""},
    {"INVALIEND", kWarning, "%1Bad end of line after %2 argument", "Error code \"INVALIEND\""},
    {"INVAMACRO", kWarning, "%1invalid macro name %2", "Error code \"INVAMACRO\""},
    {"INVCHASTR", kWarning, "%1Invalid member selection of a non structure or union %2", "Error code \"INVCHASTR\""},
    {"INVCSTCAR", kWarning, "%1Malformatted character constant: %2", "Error code \"INVCSTCAR\""},
    {"INVDEFINE", kWarning, "%1Impossible defining `defined' as a macro %2", "Error code \"INVDEFINE\""},
    {"INVHASTYP", kInternal, "%1Preprocessor error: invalid special hash type %2", "Error code \"INVHASTYP\""},
    {"MALFOROPT", kWarning, "%1Malformed option %2", "Error code \"MALFOROPT\""},
    {"MODACCINC", kWarning, "%1Incorrect access modifier: unknown inherited member %2 ", "Error code \"MODACCINC\""},
    {"MULCARCST", kWarning, "%1Multi-character character constant %2", "Error code \"MULCARCST\""},
    {"NBARGMACR", kWarning, "%1Bad number of arg(s) to macro %2", "Error code \"NBARGMACR\""},
    {"NOARGUMEN", kWarning, "%1%2 with no argument", "Error code \"NOARGUMEN\""},
    {"NOARTOMAC", kWarning, "%1No argument passed to macro %2", "Error code \"NOARTOMAC\""},
    {"NOCONDITI", kWarning, "%1%2 directive not within conditional", "Error code \"NOCONDITI\""},
    {"NOFITBYTE", kWarning, "%1Octal or hex character constant does not fit in a byte %2", "Error code \"NOFITBYTE\""},
    {"NOHEXDIGI", kWarning, "%1\\x used with no following hex digits %2", "Error code \"NOHEXDIGI\""},
    {"NONFONCTI", kWarning, "%1%2 is not a function", "Error code \"NONFONCTI\""},
    {"NONPOINTE", kWarning, "%1%2 is not a pointeur", "Error code \"NONPOINTE\""},
    {"NONTABLEA", kWarning, "%1%2 is not an array", "Error code \"NONTABLEA\""},
    {"NOPOSTRUC", kWarning, "%1Not pointed structure or union %2", "Error code \"NOPOSTRUC\""},
    {"OPERARITH", kWarning, "%1%2 operation only allowed on numeric types (integer or real)", "Error code \"OPERARITH\""},
    {"OPERENTIE", kWarning, "%1%2 operation only allowed on integer types", "Error code \"OPERENTIE\""},
    {"OPERMACRO", kWarning, "%1`#' operator should be followed by a macro argument name: %2", "Error code \"OPERMACRO\""},
    {"OPERSCALA", kWarning, "%1%2 operation only allowed on scalar types (integer, real, enum, pointer)", "Error code \"OPERSCALA\""},
    {"PARASTART", kWarning, "%1Parameter name n `#define' starts with a digit: %2", "Error code \"PARASTART\""},
    {"POINSTRUC", kWarning, "%1Pointed structure or union %2", "Error code \"POINSTRUC\""},
    {"POSTDECRE", kWarning, "%1Post-incrementation not allowed in Unit Testing expressions %2", "Error code \"POSTDECRE\""},
    {"POSTINCRE", kWarning, "%1Post-incrementation not allowed in Unit Testing expressions %2", "Error code \"POSTINCRE\""},
    {"REDEFSTRU", kWarning, "%1Structure or union data type %2 redefined", "Error code \"REDEFSTRU\""},
    {"REDEFSYMB", kWarning, "%1Symbol %2 redefined", "Error code \"REDEFSYMB\""},
    {"SEQUEINCO", kWarning, "%1Unknown escape sequence %2", "Error code \"SEQUEINCO\""},
    {"SOUSEXPRE", kWarning, "%1\"exp1, exp2, ..\" expressions not allowed in Unit Testing expressions %2", "Error code \"SOUSEXPRE\""},
    {"STARTDIGI", kWarning, "%1%2 argument starts with a digit", "Error code \"STARTDIGI\""},
    {"SYNTAXERR", kWarning, "%1Syntax error: %2", "Error code \"SYNTAXERR\""},
    {"TEMINSINC", kWarning, "Incorrect template instantiation: %1", "Error code \"TEMINSINC\""},
    {"TEMPLADEC", kWarning, "%1Incorrect template declaration: %2", "Error code \"TEMPLADEC\""},
    {"TOLOCSTCA", kWarning, "%1Too long character constant %2", "Error code \"TOLOCSTCA\""},
    {"TOMANYARG", kWarning, "%1Too many args to macro %2", "Error code \"TOMANYARG\""},
    {"TYPESDIFF", kWarning, "%1Different types in list %2", "Error code \"TYPESDIFF\""},
    {"TYPMODINC", kWarning, "%1Incorrect type modifier %2", "Error code \"TYPMODINC\""},
    {"UNBAENDIF", kWarning, "%1unbalanced endif %2", "Error code \"UNBAENDIF\""},
    {"UNDEFININ", kWarning, "%1Undefining %2", "Error code \"UNDEFININ\""},
    {"UNTERCOMM", kWarning, "%1unterminated comment %2", "Error code \"UNTERCOMM\""},
    {"UNTERCOND", kWarning, "%1unterminated #%2 conditional", "Error code \"UNTERCOND\""},
    {"UNTERSTRI", kWarning, "%1A string or character constant unterminated %2", "Error code \"UNTERSTRI\""},
    {"UNTPARDEF", kWarning, "%1Unterminated parameter list in `#define' directive: %2", "Error code \"UNTPARDEF\""},
    {"MATCHLINE", kInformation, "%1Matches line %2", "Error code \"MATCHLINE\""},
    {"INCLCASSE", kInformation, "%1Included file found ignoring case: %2", "Error code \"INCLCASSE\""},
};

bool registered = false;
}  // namespace

MessageTable ana_c_cpp_message_table() { return {kMessages, sizeof kMessages / sizeof kMessages[0]}; }

void register_ana_c_cpp_messages() {
  if (registered) return;
  registered = true;
  register_message_table(ana_c_cpp_message_table());
}
