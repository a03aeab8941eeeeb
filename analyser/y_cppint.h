// Private to the declaration grammar (y_cppa.cpp, y_cppcls.cpp): the parser
// record, its token window and the routines shared by the two files.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "cpptab.h"
#include "ctree.h"
#include "ctylex.h"
#include "y_cppa.h"

namespace grammar {

// Token classes the grammar distinguishes; keywords and punctuators are told
// apart by their code.
enum TokClass : int {
  G_EOF = 0,
  G_IDENT,       // unclassified identifier
  G_CLASSNAME,   // a class, structure or namespace
  G_TEMPLNAME,   // a class template
  G_DECLNAME,    // any other declared name (typedef, enum, union, variable, function)
  G_TYPEMOD,     // registered type-modifier name
  G_KEYWORD,
  G_PUNCT,
  G_NUMBER,
  G_FLOATNUM,
  G_CHARLIT,
  G_STRING,
  G_BODYTEXT,    // captured "{...}" of a template declaration
  G_BASEBODY,    // captured ": bases {...}" of a template declaration
  G_INITTEXT,    // captured "= ..." of a template declaration
  G_TOPEN,       // template-open
  G_TCLOSE,      // template-close
  G_OTHER
};

struct TokFields {
  int cls = G_EOF;
  int code = T_END;            // the scanner's TokenCode
  // Spelling, kept to write expressions back as text. It shows text that
  // lives as long as the process (interned names and literals, the fixed
  // spellings of keywords and punctuators) or the token's own held text:
  // reading a token copies no characters.
  std::string_view text;
  const char *name = nullptr;  // interned identifier
  int word = W_NONE;           // ContextualWord of an unclassified identifier, or of C's "_Bool"
  Symbol *sym = nullptr;       // entry found by the classification
  TypeDesc *type = nullptr;    // type found (class, template)
  int line = 0;
};

struct Tok : TokFields {
  Tok() = default;
  Tok(const Tok &o) : TokFields(o), held_(o.held_) { text = o.holds_text() ? std::string_view(held_) : o.text; }
  Tok(Tok &&o) noexcept : TokFields(o) { take_held(o); }
  Tok &operator=(const Tok &o) {
    if (this == &o) return *this;
    TokFields::operator=(o);
    if (!o.held_.empty() || !held_.empty()) held_ = o.held_;
    if (o.holds_text()) text = held_;
    return *this;
  }
  Tok &operator=(Tok &&o) noexcept {
    if (this == &o) return *this;
    TokFields::operator=(o);
    take_held(o);
    return *this;
  }
  // A spelling that lives nowhere else (a captured body, a composed name):
  // the token keeps a copy of it.
  void hold(std::string_view s) {
    held_.assign(s.data(), s.size());
    text = held_.empty() ? std::string_view() : std::string_view(held_);
  }

 private:
  bool holds_text() const { return !held_.empty() && text.data() == held_.data(); }
  void take_held(Tok &o) {
    // Most tokens hold no text of their own: nothing to exchange then, and
    // no call.
    if (o.held_.empty() && held_.empty()) return;
    const bool held = o.holds_text();
    held_.swap(o.held_);
    if (held) {
      text = held_;
      o.text = std::string_view();
    }
  }
  std::string held_;
};

// Recoverable syntax error: unwinds to the enclosing declaration list.
struct Recover {};
// The analysis of this text ends (no recovery possible, nesting limit).
struct EndAnalysis {};

enum ScopeKindG : int { SC_FILE, SC_FUNCTION, SC_NAMESPACE, SC_CLASS, SC_UNION, SC_QUALIFIED };

struct Scope {
  int kind = SC_FILE;
  TypeDesc *record = nullptr;  // class, union, namespace or function scope type
  int access = ACC_PUBLIC;     // access of the members that follow
};

// Pending declaration specifiers.
struct Specs {
  TypeDesc *type = nullptr;
  unsigned storage = 0;
  bool has_type = false;       // a type specifier was seen (the next name is a declarator)
  bool defined_type = false;   // a class/enum body was part of the specifiers
  TypeDesc *tag_type = nullptr;  // the class/enum the specifiers named or defined
  bool any = false;            // anything at all was read
  // A qualified name already read while looking for a type (A::f, A::A).
  std::vector<std::string> pending_qual;
  TypeDesc *pending_scope = nullptr;
  bool has_pending_name = false;
  bool constexpr_word = false;  // "constexpr": a function is inline then
};

struct Param;

// What a name token stands for as a type, before any record is made for it.
struct NameTokenType {
  TypeDesc *type = nullptr;                   // a type found as it is
  const Declaration *typedef_decl = nullptr;  // a typedef name, whose use is a record of its own
  bool template_parameter = false;            // a template parameter's name, likewise
  bool any() const { return type || typedef_decl || template_parameter; }
};

// One step of a declarator, in the order it applies to the base type.
struct DeclOp {
  enum Kind { PTR, REF, MEMPTR, ARRAY, FUNC } kind = PTR;
  bool rvalue = false;            // REF written "&&"
  std::vector<TypeDesc *> quals;  // const/volatile of a pointer, or of a member function
  TypeDesc *member_class = nullptr;
  bool has_bound = false;
  std::string bound;
  std::vector<Declaration *> params;
  bool ellipsis = false;
  bool knr = false;               // identifier list of an old-style definition
  bool has_throw = false;
  std::vector<TypeDesc *> throws;
  TypeDesc *trailing = nullptr;   // "-> type": the result written after the parameters
};

struct Declarator {
  const char *name = nullptr;     // last component (interned)
  std::vector<std::string> qual;  // qualifying names (A::B::name)
  TypeDesc *qual_scope = nullptr; // class or namespace named by the qualification
  bool qualified = false;
  bool is_operator = false;
  bool is_destructor = false;
  bool pack = false;              // a parameter pack: Ts &&...args
  std::vector<DeclOp> ops;
  int line = 0;
  bool has_paren_init = false;    // A a(x): an object with an initialiser
  std::string paren_init;
};

class Analysis;

class Parser {
 public:
  Parser(Analysis &analysis, int nesting_base);

  // Runs the grammar over the text the scanner was started on.
  void run(Scope outer);

  Analysis &an;
  SymbolTable &table;
  TokenScanner &lex;
  Tok cur;
  int depth = 0;           // explicit nesting count of the recursive rules
  int recover = 0;         // tokens to shift before a new error is reported
  int errors = 0;
  int instantiation_level = 0;
  std::vector<Scope> scopes;
  bool in_template_header = false;
  bool in_template_arguments = false;  // collecting template arguments (types allowed)
  // The arguments collected last name something no lookup found (a member
  // of the class template whose member is being defined).
  bool unknown_in_arguments = false;
  std::vector<const char *> template_params;  // names that stand for types here
  std::vector<const char *> value_params;     // non-type template parameters in scope
  // Inside "template <>": a member of a specialised class template is
  // declared with the member types of that class.
  int specialisation_headers = 0;
  // For the analysis of a template's instance: the scope that used the
  // template, where the names of its arguments are visible.
  ScopeContext instance_use_site;
  bool is_template_parameter(const char *name) const;
  bool is_value_parameter(const char *name) const;
  [[noreturn]] void unexpected_end();

  // Token window.
  void advance();
  bool is(int code) const { return cur.code == code && (cur.cls == G_PUNCT || cur.cls == G_KEYWORD); }
  bool accept(int code);
  void expect(int code);
  bool at_eof() const { return cur.cls == G_EOF; }
  [[noreturn]] void syntax_error();
  [[noreturn]] void too_deep();
  void warn(WarningCode code, const std::string &arg, bool with_position = true);
  const char *file() const;
  int line() const;

  // Scopes.
  // Inline: asked at every name the scanner classifies and every
  // declaration entered.
  ScopeContext context() const {
    ScopeContext c;
    for (auto it = scopes.rbegin(); it != scopes.rend(); ++it) {
      if (it->kind == SC_FILE) return c;
      if (it->record) {
        c.kind = 1;
        c.current = it->record;
        return c;
      }
    }
    return c;
  }
  TypeDesc *scope_record() const;
  int scope_kind_word() const { return context().kind; }
  bool in_class() const {
    return !scopes.empty() && (scopes.back().kind == SC_CLASS || scopes.back().kind == SC_UNION);
  }
  void push_scope(int kind, TypeDesc *record, int access);
  void pop_scope();

  // Rules (y_cppa.cpp).
  void declaration_list(bool braced, bool in_class_body);
  void declaration();
  void recover_skip(bool in_class_body, bool braced);
  Specs decl_specifiers(bool for_param);
  bool is_type_token() const;
  // The type a name token stands for; a use of a typedef name or of a
  // template parameter is a record made for the use.
  TypeDesc *type_of_name_token(const Tok &t) const;
  // Whether type_of_name_token would give a type, with no record made:
  // asked of names that may begin a declaration or a parameter.
  bool names_type(const Tok &t) const { return name_token_type(t).any(); }
  NameTokenType name_token_type(const Tok &t) const;
  void parse_declarator(Declarator &d, bool abstract_ok, Specs *specs);
  void declarator_name(Declarator &d);
  // Look-ahead without consuming: the current name starts "C::*" (a
  // pointer to member), possibly through nested names and template arguments.
  bool member_pointer_follows();
  // Look-ahead: the parenthesis just opened after a declarator name holds
  // an initialiser (A a(x);), not a parameter list.
  bool initialiser_follows();
  // The token after the current one, not consumed.
  Tok peek_token();
  // A deduction guide, "[explicit] Name(parameters) -> Name<arguments>;":
  // it declares nothing the script needs and is passed over whole.
  bool skip_deduction_guide();
  // Inside a template declaration, a template instance or a derived class,
  // where member types of parameters and bases are not known by name.
  bool unknown_names_may_be_types() const;
  bool unknown_type_follows();
  // Later words read as declaration syntax and dropped: "[[...]]"
  // attributes and parenthesised operands ("alignas(...)", "noexcept(...)").
  // Inline for the common answer: most places that may hold an attribute
  // hold no '[' at all.
  bool skip_attribute() { return cur.cls == G_PUNCT && cur.code == '[' && skip_attribute_at_bracket(); }
  bool skip_attribute_at_bracket();
  void skip_parenthesised();
  bool is_word(int word) const { return cur.cls == G_IDENT && cur.word == word; }
  void declarator_suffixes(Declarator &d, std::vector<DeclOp> &out);
  void parameter_list(DeclOp &op);
  TypeDesc *build_type(TypeDesc *base, const Declarator &d);
  void init_declarators(Specs &s, Declarator &first);
  void function_definition(Specs &s, Declarator &d, TypeDesc *ftype);
  void old_style_parameters(Declarator &d, TypeDesc *ftype);
  bool capture_body(std::string &body);
  void skip_body();
  // `qualified`, when given, receives the text with the names that start a
  // name spelled from the global scope (argument_name_text).
  std::string collect_expression(const char *stops, bool allow_empty, std::string *qualified = nullptr);
  std::string collect_template_arguments(std::vector<std::string> &args);
  TypeDesc *type_name_text(std::string &text);
  // The type of "auto name = init" when the initialiser shows it plainly (a
  // literal, a cast, a constructor call); none otherwise.
  TypeDesc *deduced_type(const std::string &init);
  bool text_starts_with_type(const std::string &text);
  Declaration *make_declaration(const char *name, TypeDesc *type, unsigned storage);
  Symbol *enter(Declaration *d);
  void add_member(Declaration *d);  // on the member list of the open class or namespace, once
  // On the member list of the given namespace (or class) record, once.
  void add_member_to(TypeDesc *record, Declaration *d, int access);
  // The innermost enclosing scope that is not a class, structure or union.
  Scope nearest_non_class_scope() const;
  void operator_name(Declarator &d);

  // Rules (y_cppcls.cpp).
  TypeDesc *class_specifier(Specs &s);
  void class_body(TypeDesc *cls, int key);
  void base_clause(TypeDesc *cls);
  void compute_inherited(TypeDesc *cls);
  TypeDesc *enum_specifier(Specs &s);
  void namespace_definition(bool inline_namespace = false);
  void using_declaration();
  void using_name(const std::vector<Tok> &words);
  void linkage_block();
  void template_declaration();
  TypeDesc *template_use(const Tok &name_tok);
  TypeDesc *template_instance(const Tok &name_tok, const std::vector<std::string> &args, bool has_args);
  void access_declaration(const std::vector<std::string> &qual, const char *name);
  TypeDesc *find_scope_type(const Tok &t) const;
  // A name that starts a name in a template argument, spelled so that it
  // names the same entity from any scope.
  std::string argument_name_text(const Tok &t);
};

// Joins token texts with the blanks that keep them apart.
void append_token_text(std::string &out, const Tok &t);
const char *intern(const std::string &s);
bool is_storage_keyword(int code, unsigned *flag);

// Scanner adapter (y_cppa.cpp).
Tok lex_token(TokenScanner &s);
void lex_token_into(TokenScanner &s, Tok &out);
bool lex_capture_balanced(TokenScanner &s, std::string &out, bool brace_included);
// lex_capture_balanced without the text (the brace not included).
bool lex_skip_balanced(TokenScanner &s);
// The text without the blanks, tabs and newlines at either end.
std::string trimmed(const std::string &s);
// Applies the const/volatile of the specifiers to the composed type.
Specs &finish_specifiers(SymbolTable &table, Specs &s, std::vector<TypeDesc *> &quals);
// Reports of an evaluation whose text stays as written either way (a
// bit-field's width): they are not told.
void silent_expression_report(MessageCode, std::string_view, std::string_view, int);

constexpr int TOTAL_DEPTH_LIMIT = 1200;

struct DepthGuard {
  Parser &p;
  int &total;
  explicit DepthGuard(Parser &parser);
  ~DepthGuard() {
    --p.depth;
    --total;
  }
};

// One analysis: its scanner and parser over one text, the table it fills,
// where it reports, and the budget it
// shares with the analyses it starts (template instances) or was started by.
class Analysis {
 public:
  Analysis(SymbolTable &table, AnalysisBudget &budget, const ReportSink &sink, bool keep_bodies,
           bool lenient_matching, int instantiation_level);
  Analysis(const Analysis &) = delete;
  Analysis &operator=(const Analysis &) = delete;

  // Scans and parses `text`, positions starting at `file` and `line`;
  // returns the number of syntax errors.
  int run(const char *text, const char *file, int line, const Scope &outer);

  SymbolTable &table;
  AnalysisBudget &budget;
  const ReportSink sink;  // every report of the analysis
  const bool keep_bodies;
  const bool lenient_matching;
  TokenScanner scanner;
  Parser parser;
};

// Inline: every grammar rule opens one, some thirty thousand times a file.
inline DepthGuard::DepthGuard(Parser &parser) : p(parser), total(parser.an.budget.total_depth) {
  if (p.depth + 1 > GRAMMAR_NESTING_LIMIT || total + 1 > TOTAL_DEPTH_LIMIT) p.too_deep();
  ++p.depth;
  ++total;
}

// template<> struct X<args> {body}: the class of the composed name, made by a
// nested analysis of its body.
void specialise_class_template(Parser &outer, TypeDesc *primary, const std::vector<std::string> &args,
                               int key, const std::string &body, const char *file, int line);
// Instance of a class template for the given argument texts: the class of the
// composed name when it exists, else made by a nested analysis of the
// template body. `mark` is the instance mark given to a new class (IM_INSTANCE for a
// use as a type name). None (with "TEMINSINC") when a parameter has neither
// argument nor default or instantiations nest too deeply.
TypeDesc *instantiate_class_template(Parser &outer, TypeDesc *templ,
                                     const std::vector<std::string> &arguments, InstanceMark mark);

}  // namespace grammar
