#include "ctylex.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "merror.h"
#include "mstrin.h"
#include "cprepr.h"
#include "y1_tab.h"

namespace {

struct Report {
  int severity;
  std::string code, arg, file;
  int line;
};
std::vector<Report> reports;

void capture(MessageCode code, std::string_view arg, std::string_view file, int line) {
  reports.push_back({code.severity(), message_name(code), std::string(arg), std::string(file), line});
}

struct Tok {
  int code;
  std::string text;
  int line;
};

class Lex : public ::testing::Test {
 protected:
  SymbolTable table;
  TokenScanner sc;
  void SetUp() override {
    reports.clear();
    reset_analysis_settings();
    set_analyser_report(capture);
    table_init(table, nullptr);
  }
  void TearDown() override {
    lex_set_escaped_line_names(false);
    release_table(table);
    set_analyser_report(nullptr);
  }
  std::vector<Tok> scan(const char *text) {
    std::vector<Tok> out;
    lex_begin(sc, &table, "t.c", 1, 0, 0);
    lex_set_text(sc, text);
    for (int guard = 0; guard < 100000; ++guard) {
      int c = lex_next(sc);
      if (c == T_END) break;
      out.push_back({c, std::string(sc.token_text), lex_current_line(sc)});
    }
    lex_end(sc);
    return out;
  }
  std::vector<int> codes(const char *text) {
    std::vector<int> out;
    for (const Tok &t : scan(text)) out.push_back(t.code);
    return out;
  }
  Symbol *declare(const char *name, TypeDesc *type, unsigned storage = 0) {
    Declaration *d = decl_new(name, type);
    d->storage = storage;
    d->file = "t.c";
    return enter_declaration(d, table, ScopeContext(), 1);
  }
  TypeDesc *class_type(const char *name) {
    TypeDesc *t = type_new(TK_CLASS);
    t->record()->name = intern_string(name);
    t->record()->key = KEY_CLASS;
    t->record()->has_body = 1;
    return t;
  }
  TypeDesc *template_type(const char *name, bool body) {
    TypeDesc *t = type_new(TK_TEMPLATE);
    t->templ()->name = intern_string(name);
    t->templ()->has_body = body;
    return t;
  }
  int count(const char *code) {
    int n = 0;
    for (const Report &r : reports) n += r.code == code;
    return n;
  }
};

TEST_F(Lex, TemplateArgumentsCloseTwiceOnShiftRight) {
  declare("A", template_type("A", true));
  declare("B", template_type("B", false));
  std::vector<int> expected = {T_DEFINED_TEMPLATE_NAME, T_TEMPLATE_OPEN, T_TEMPLATE_NAME, T_TEMPLATE_OPEN, K_INT,
                               T_TEMPLATE_CLOSE, T_TEMPLATE_CLOSE, T_IDENTIFIER, ';'};
  EXPECT_EQ(codes("A<B<int>> x;"), expected);
  // Outside template arguments ">>" and "<" are operators.
  EXPECT_EQ(codes("a >> b < c"), (std::vector<int>{T_IDENTIFIER, P_SHR, T_IDENTIFIER, '<', T_IDENTIFIER}));
  // An argument list that never closes ends at ';'.
  EXPECT_EQ(codes("B<int; x < y"), (std::vector<int>{T_TEMPLATE_NAME, T_TEMPLATE_OPEN, K_INT, ';', T_IDENTIFIER, '<',
                                                     T_IDENTIFIER}));
  // A '}' after a template header matches no rule.
  EXPECT_EQ(codes("template<class T> } ;"), (std::vector<int>{K_TEMPLATE, T_TEMPLATE_OPEN, K_CLASS, T_IDENTIFIER,
                                                              T_TEMPLATE_CLOSE, ';'}));
  // After a template name, a punctuator other than '<' goes back to normal.
  EXPECT_EQ(codes("B ; x < y"), (std::vector<int>{T_TEMPLATE_NAME, ';', T_IDENTIFIER, '<', T_IDENTIFIER}));
}

TEST_F(Lex, TemplateHeadersCaptureBodiesBasesAndInitialisers) {
  auto toks = scan("template <class T> class X {\n int a;\n char b[2] = {'}'};\n};\nint after;");
  ASSERT_GE(toks.size(), 8u);
  std::vector<int> head = {K_TEMPLATE, T_TEMPLATE_OPEN, K_CLASS, T_IDENTIFIER, T_TEMPLATE_CLOSE, K_CLASS, T_IDENTIFIER,
                           T_BODY_TEXT, ';', K_INT, T_IDENTIFIER, ';'};
  std::vector<int> got;
  for (const Tok &t : toks) got.push_back(t.code);
  EXPECT_EQ(got, head);
  EXPECT_EQ(toks[7].text, "{\n int a;\n char b[2] = {'}'};\n}");
  EXPECT_EQ(toks[10].line, 5);  // lines counted through the capture

  toks = scan("template<class T> class Y : public B<T> { T v; };");
  ASSERT_GE(toks.size(), 8u);
  EXPECT_EQ(toks[7].code, T_BASE_AND_BODY);
  EXPECT_EQ(toks[7].text, ": public B<T> { T v; }");
  EXPECT_EQ(toks[8].code, ';');

  toks = scan("template<class T> T zero = T(0, \";\");");
  ASSERT_GE(toks.size(), 8u);
  EXPECT_EQ(toks[7].code, T_INIT_TEXT);
  EXPECT_EQ(toks[7].text, "= T(0, \";\")");
  EXPECT_EQ(toks[8].code, ';');

  // operator= in a template declaration stays an operator.
  got.clear();
  for (const Tok &t : scan("template<class T> T& operator=(T);")) got.push_back(t.code);
  EXPECT_EQ(got, (std::vector<int>{K_TEMPLATE, T_TEMPLATE_OPEN, K_CLASS, T_IDENTIFIER, T_TEMPLATE_CLOSE,
                                   T_IDENTIFIER, '&', K_OPERATOR, '=', '(', T_IDENTIFIER, ')', ';'}));

  EXPECT_TRUE(reports.empty());
  toks = scan("template<class T> class Z { int a;");
  ASSERT_FALSE(toks.empty());
  EXPECT_EQ(toks.back().code, T_BODY_TEXT);
  EXPECT_EQ(toks.back().text, "");
  EXPECT_EQ(count("UNEXP_EOF"), 1);
}

TEST_F(Lex, NumbersIdentifiersAndPunctuators) {
  struct Case {
    const char *text;
    std::vector<std::pair<int, std::string>> tokens;
  } cases[] = {
      // Every integer suffix of C, the two letters of ll alike.
      {"1lu 1LL 10llu 0xFFULL 1uLL 1Ull 7LU", {{T_INTEGER, "1lu"}, {T_INTEGER, "1LL"}, {T_INTEGER, "10llu"},
                                                {T_INTEGER, "0xFFULL"}, {T_INTEGER, "1uLL"}, {T_INTEGER, "1Ull"},
                                                {T_INTEGER, "7LU"}}},
      {"1lL", {{T_INTEGER, "1l"}, {T_IDENTIFIER, "L"}}},
      {"1uu", {{T_INTEGER, "1u"}, {T_IDENTIFIER, "u"}}},
      {"1llul", {{T_INTEGER, "1llu"}, {T_IDENTIFIER, "l"}}},
      {"0b1010 0B1u 0b", {{T_INTEGER, "0b1010"}, {T_INTEGER, "0B1u"}, {T_INTEGER, "0"}, {T_IDENTIFIER, "b"}}},
      {"0b2", {{T_INTEGER, "0"}, {T_IDENTIFIER, "b2"}}},
      {"1uL 0x1Fu 017", {{T_INTEGER, "1uL"}, {T_INTEGER, "0x1Fu"}, {T_INTEGER, "017"}}},
      {"08", {{T_INTEGER, "0"}, {T_INTEGER, "8"}}},
      {"0x", {{T_INTEGER, "0"}, {T_IDENTIFIER, "x"}}},
      {".5 5. 1e+5f 2.5E-3L 08.5", {{T_FLOATING, ".5"}, {T_FLOATING, "5."}, {T_FLOATING, "1e+5f"},
                                    {T_FLOATING, "2.5E-3L"}, {T_FLOATING, "08.5"}}},
      {"1e", {{T_INTEGER, "1"}, {T_IDENTIFIER, "e"}}},
      {"1e+", {{T_INTEGER, "1"}, {T_IDENTIFIER, "e"}, {'+', "+"}}},
      {"$a b$c @", {{T_IDENTIFIER, "$a"}, {T_IDENTIFIER, "b$c"}, {'@', "@"}}},
      {"'a' L'b' \"s\\\"t\" L\"w\"", {{T_CHARACTER, "'a'"}, {T_CHARACTER, "L'b'"}, {T_STRING, "\"s\\\"t\""},
                                      {T_STRING, "L\"w\""}}},
      {"u'a' U'b' u8'c' u8\"s\" u\"t\" U\"w\"", {{T_CHARACTER, "u'a'"}, {T_CHARACTER, "U'b'"}, {T_CHARACTER, "u8'c'"},
                                           {T_STRING, "u8\"s\""}, {T_STRING, "u\"t\""}, {T_STRING, "U\"w\""}}},
      {"u8 U x u 'a'", {{T_IDENTIFIER, "u8"}, {T_IDENTIFIER, "U"}, {T_IDENTIFIER, "x"}, {T_IDENTIFIER, "u"},
                        {T_CHARACTER, "'a'"}}},
      {"''", {}},  // two adjacent quotes are no constant; both are skipped
      {"a->*b ... .. => <<= ::", {{T_IDENTIFIER, "a"}, {P_ARROW_STAR, "->*"}, {T_IDENTIFIER, "b"}, {P_ELLIPSIS, "..."},
                                  {P_RANGE, ".."}, {P_IMPLIES, "=>"}, {P_SHL_ASSIGN, "<<="}, {P_SCOPE, "::"}}},
      {"using ::exception; using ::type_info;", {}},
      {"using  ::exception;", {{K_USING, "using"}, {P_SCOPE, "::"}, {T_IDENTIFIER, "exception"}, {';', ";"}}},
      {"true false sizeof wchar_t", {{K_TRUE, "true"}, {K_FALSE, "false"}, {K_SIZEOF, "sizeof"}, {K_WCHAR_T, "wchar_t"}}},
      {"__ortek_var", {{T_IDENTIFIER, "__ortek_var"}}},
      // Bytes that match no rule are skipped; an unterminated string loses its quote only.
      {"a \xe9\xff b \"open\nint", {{T_IDENTIFIER, "a"}, {T_IDENTIFIER, "b"}, {T_IDENTIFIER, "open"}, {K_INT, "int"}}},
  };
  for (const Case &c : cases) {
    auto toks = scan(c.text);
    ASSERT_EQ(toks.size(), c.tokens.size()) << c.text;
    for (std::size_t i = 0; i < toks.size(); ++i) {
      EXPECT_EQ(toks[i].code, c.tokens[i].first) << c.text << " #" << i;
      EXPECT_EQ(toks[i].text, c.tokens[i].second) << c.text << " #" << i;
    }
  }
  EXPECT_TRUE(reports.empty());
  // Token texts have no length limit.
  std::string big = "\"" + std::string(5000, 'x') + "\"";
  auto toks = scan(big.c_str());
  ASSERT_EQ(toks.size(), 1u);
  EXPECT_EQ(toks[0].text, big);
  std::string id(300, 'k');
  toks = scan(id.c_str());
  ASSERT_EQ(toks.size(), 1u);
  EXPECT_EQ(toks[0].text.size(), 300u);
}

// The expression dialect: radix constants, the range and association
// punctuators, "09" as one constant, quotes that do not close end at the
// end of the line, keywords keep their codes, nothing is classified.
// Punctuators are read longest first, whatever follows them, up to the
// end of the text: every string of up to three punctuation characters
// reads as a plain longest-match over the spellings says.
TEST(LexExpression, LongestPunctuatorAgreesWithEverySpelling) {
  const std::string chars = ".:-+<>=!&|*/%^()[]{},;~?@#a";
  std::vector<std::pair<std::string, int>> spellings;
  for (int code = P_DOT_STAR; code <= P_IMPLIES; ++code) spellings.push_back({token_spelling(code), code});
  const std::string singles = "(),{}[].&*+-~!/%<>^|?:;=@";
  auto reference = [&](const std::string &text) {
    std::vector<std::pair<int, std::string>> out;
    for (std::size_t i = 0; i < text.size();) {
      if (text[i] == 'a') {
        const std::size_t n = text.find_first_not_of('a', i) == std::string::npos ? text.size() - i
                                                                                  : text.find_first_not_of('a', i) - i;
        out.push_back({T_IDENTIFIER, text.substr(i, n)});
        i += n;
        continue;
      }
      int best = 0;
      std::size_t best_len = 0;
      for (const auto &sp : spellings)
        if (sp.first.size() > best_len && text.compare(i, sp.first.size(), sp.first) == 0) {
          best = sp.second;
          best_len = sp.first.size();
        }
      if (!best_len && singles.find(text[i]) != std::string::npos) {
        best = static_cast<unsigned char>(text[i]);
        best_len = 1;
      }
      if (best_len) out.push_back({best, text.substr(i, best_len)});
      i += best_len ? best_len : 1;
    }
    out.push_back({T_END, ""});
    return out;
  };
  std::vector<std::string> texts;
  for (char a : chars) {
    texts.push_back(std::string(1, a));
    for (char b : chars) {
      texts.push_back(std::string{a, b});
      for (char c : chars) texts.push_back(std::string{a, b, c});
    }
  }
  for (const std::string &text : texts) {
    std::vector<std::pair<int, std::string>> got;
    for (const ExpressionToken &t : lex_expression(text.c_str())) got.push_back({t.code, std::string(t.text)});
    EXPECT_EQ(got, reference(text)) << text;
  }
}

TEST(LexExpression, DialectTokensAndSpans) {
  struct Case {
    const char *text;
    std::vector<std::pair<int, std::string>> tokens;
  } cases[] = {
      {"0FFh 1h 101b 0b 1B 7fH", {{T_RADIX_INTEGER, "0FFh"}, {T_RADIX_INTEGER, "1h"}, {T_RADIX_INTEGER, "101b"},
                                  {T_RADIX_INTEGER, "0b"}, {T_RADIX_INTEGER, "1B"}, {T_RADIX_INTEGER, "7fH"}}},
      // A letter or digit after the radix letter: no radix constant.
      {"0FFhx 0b101 FFh", {{T_INTEGER, "0"}, {T_IDENTIFIER, "FFhx"}, {T_INTEGER, "0"}, {T_IDENTIFIER, "b101"},
                           {T_IDENTIFIER, "FFh"}}},
      {"09 0x1Fu 017 0x", {{T_INTEGER, "09"}, {T_INTEGER, "0x1Fu"}, {T_INTEGER, "017"}, {T_INTEGER, "0"},
                           {T_IDENTIFIER, "x"}}},
      {"1lu 1ull 1LL 1lL 1uLL", {{T_INTEGER, "1lu"}, {T_INTEGER, "1ull"}, {T_INTEGER, "1LL"}, {T_INTEGER, "1l"},
                                 {T_IDENTIFIER, "L"}, {T_INTEGER, "1uLL"}}},
      {"[1..5] 1.5 .5 1. 1e5 1e 2.5fL", {{'[', "["}, {T_INTEGER, "1"}, {P_RANGE, ".."}, {T_INTEGER, "5"}, {']', "]"},
                                         {T_FLOATING, "1.5"}, {T_FLOATING, ".5"}, {T_FLOATING, "1."},
                                         {T_FLOATING, "1e5"}, {T_INTEGER, "1"}, {T_IDENTIFIER, "e"},
                                         {T_FLOATING, "2.5f"}, {T_IDENTIFIER, "L"}}},
      {"{a => 1, b=>2}", {{'{', "{"}, {T_IDENTIFIER, "a"}, {P_IMPLIES, "=>"}, {T_INTEGER, "1"}, {',', ","},
                          {T_IDENTIFIER, "b"}, {P_IMPLIES, "=>"}, {T_INTEGER, "2"}, {'}', "}"}}},
      {"a->*b ::c ... <<= @", {{T_IDENTIFIER, "a"}, {P_ARROW_STAR, "->*"}, {T_IDENTIFIER, "b"}, {P_SCOPE, "::"},
                               {T_IDENTIFIER, "c"}, {P_ELLIPSIS, "..."}, {P_SHL_ASSIGN, "<<="}, {'@', "@"}}},
      // Keywords of either language keep their codes; names are not looked up.
      {"sizeof this true new bool $x", {{K_SIZEOF, "sizeof"}, {K_THIS, "this"}, {K_TRUE, "true"}, {K_NEW, "new"},
                                        {K_BOOL, "bool"}, {T_IDENTIFIER, "$x"}}},
      {"'' 'a' L'b' u8\"s\" 'a\\'b'", {{T_CHARACTER, "''"}, {T_CHARACTER, "'a'"}, {T_CHARACTER, "L'b'"},
                                     {T_STRING, "u8\"s\""}, {T_CHARACTER, "'a\\'b'"}}},
      // Not closed: up to the end of the line, or of the text.
      {"'ab\n+ \"open", {{T_CHARACTER, "'ab"}, {'+', "+"}, {T_STRING, "\"open"}}},
      // Characters that match no rule are skipped; no directive is read.
      {"#line 3 \xe9 a", {{T_IDENTIFIER, "line"}, {T_INTEGER, "3"}, {T_IDENTIFIER, "a"}}},
  };
  for (const Case &c : cases) {
    const std::vector<ExpressionToken> toks = lex_expression(c.text);
    ASSERT_EQ(toks.size(), c.tokens.size() + 1) << c.text;
    for (std::size_t i = 0; i < c.tokens.size(); ++i) {
      EXPECT_EQ(toks[i].code, c.tokens[i].first) << c.text << " #" << i;
      EXPECT_EQ(toks[i].text, c.tokens[i].second) << c.text << " #" << i;
      EXPECT_EQ(std::string(c.text).substr(toks[i].begin, toks[i].end - toks[i].begin), c.tokens[i].second);
    }
    EXPECT_EQ(toks.back().code, T_END);
    EXPECT_EQ(toks.back().begin, std::strlen(c.text));
  }
  EXPECT_EQ(lex_expression("").size(), 1u);
  EXPECT_EQ(lex_expression(nullptr).size(), 1u);
}

// The spelling with its length is the spelling, for every code.
TEST(TokenSpelling, ViewsSpellEveryCode) {
  for (int code = -2; code <= T_LAST + 1; ++code)
    EXPECT_EQ(token_spelling_view(code), std::string_view(token_spelling(code))) << code;
}

// The words the grammar reads by place have codes of their own; their
// prefixes and extensions are plain names.
TEST(ContextualWords, CodesByName) {
  EXPECT_EQ(contextual_word("final"), W_FINAL);
  EXPECT_EQ(contextual_word("override"), W_OVERRIDE);
  EXPECT_EQ(contextual_word("__typeof"), W_TYPEOF);
  EXPECT_EQ(contextual_word("__typeof__"), W_TYPEOF_UNDERSCORES);
  EXPECT_EQ(contextual_word("_Bool"), W_C_BOOL);
  EXPECT_EQ(contextual_word("char8_t"), W_CHAR8_T);
  for (const char *name : {"fina", "finally", "Final", "bool", "int", "", "constexpr_"})
    EXPECT_EQ(contextual_word(name), W_NONE) << name;
  EXPECT_EQ(contextual_word(nullptr), W_NONE);
  EXPECT_EQ(contextual_word("finals", 5), W_FINAL);
  // Every word, and words alike: a prefix, an extension, another first or
  // last character.
  const std::vector<std::pair<std::string, int>> all = {
      {"alignas", W_ALIGNAS}, {"_Bool", W_C_BOOL}, {"char8_t", W_CHAR8_T}, {"char16_t", W_CHAR16_T},
      {"char32_t", W_CHAR32_T}, {"constexpr", W_CONSTEXPR}, {"decltype", W_DECLTYPE},
      {"__extension__", W_EXTENSION}, {"final", W_FINAL}, {"noexcept", W_NOEXCEPT}, {"override", W_OVERRIDE},
      {"static_assert", W_STATIC_ASSERT}, {"thread_local", W_THREAD_LOCAL}, {"__typeof", W_TYPEOF},
      {"__typeof__", W_TYPEOF_UNDERSCORES}};
  ASSERT_EQ(all.size(), static_cast<std::size_t>(W_LAST - 1));
  for (const auto &w : all) {
    EXPECT_EQ(contextual_word(w.first.c_str()), w.second) << w.first;
    EXPECT_EQ(contextual_word(w.first.substr(0, w.first.size() - 1).c_str()), W_NONE) << w.first;
    EXPECT_EQ(contextual_word((w.first + "x").c_str()), W_NONE) << w.first;
    EXPECT_EQ(contextual_word(("x" + w.first.substr(1)).c_str()), W_NONE) << w.first;
    EXPECT_EQ(contextual_word((w.first.substr(0, w.first.size() - 1) + "x").c_str()), W_NONE) << w.first;
  }
  // The scanner's names are told by their length first: the same answer.
  for (const auto &w : all)
    for (std::size_t cut = 0; cut <= w.first.size(); ++cut)
      for (const std::string &n : {w.first.substr(0, cut), w.first.substr(0, cut) + "xyz", w.first + "_"})
        EXPECT_EQ(contextual_word_of_name(n.c_str(), n.size()), contextual_word(n.c_str(), n.size())) << n;
  const std::string long_name(40, 'f');
  EXPECT_EQ(contextual_word_of_name(long_name.c_str(), long_name.size()), W_NONE);
  // Keywords stay keywords, contextual words stay names.
  EXPECT_EQ(keyword_code("final", 5, SRC_CPP), 0);
  EXPECT_EQ(keyword_code("class", 5, SRC_C), 0);
  EXPECT_EQ(keyword_code("class", 5, SRC_CPP), K_CLASS);
}

// The keyword search by hash agrees with a plain comparison against every
// spelling: for each keyword, for words that share its hash (same length,
// first and last characters), for its prefixes and extensions, in both
// languages, and for names longer than any keyword.
TEST(Keywords, HashedSearchAgreesWithEveryWord) {
  auto plain = [](const std::string &w, SourceLanguage language) {
    for (int code = K_ASM; code < T_LAST; ++code)
      if (w == token_spelling(code)) return keyword_code(token_spelling(code), w.size(), language) ? code : 0;
    return 0;
  };
  std::vector<std::string> words;
  for (int code = K_ASM; code < T_LAST; ++code) {
    const std::string k = token_spelling(code);
    words.push_back(k);
    words.push_back(k.substr(0, k.size() - 1));
    words.push_back(k + "_");
    words.push_back("_" + k);
    std::string same_hash = k;
    if (same_hash.size() > 2) same_hash[1] = same_hash[1] == 'x' ? 'y' : 'x';
    words.push_back(same_hash);
    std::string upper = k;
    upper[0] = static_cast<char>(upper[0] - 'a' + 'A');
    words.push_back(upper);
  }
  words.push_back(std::string(300, 'i') + "nt");
  words.push_back("reinterpret_cast_");
  for (const std::string &w : words)
    for (SourceLanguage language : {SRC_C, SRC_CPP}) {
      const int expected = plain(w, language);
      EXPECT_EQ(keyword_code(w.data(), w.size(), language), expected) << w;
      if (expected) {
        EXPECT_EQ(std::string(token_spelling(expected)), w);
      }
    }
  EXPECT_EQ(keyword_code("int", 3, SRC_CPP), K_INT);
  EXPECT_EQ(keyword_code("intx", 3, SRC_CPP), K_INT);  // the length given counts
  EXPECT_EQ(keyword_code("int", 2, SRC_CPP), 0);
  EXPECT_EQ(keyword_code("", 0, SRC_CPP), 0);
  // A zero inside a word that ends no keyword there, and a word longer
  // than any keyword.
  EXPECT_EQ(keyword_code(std::string("in\0t", 4).data(), 4, SRC_CPP), 0);
  EXPECT_EQ(keyword_code(std::string("x\0", 2).data(), 2, SRC_CPP), 0);
  EXPECT_EQ(keyword_code(std::string(70, 'i').data(), 70, SRC_CPP), 0);
}

// The scanner's own search for a keyword (a name is matched at its whole
// length) agrees with keyword_code on every word, its near misses and its
// longer and shorter neighbours.
TEST_F(Lex, ScannedWordsAgreeWithTheKeywordSearch) {
  std::vector<std::string> words;
  for (int code = K_ASM; code < T_LAST; ++code) {
    const std::string k = token_spelling(code);
    for (const std::string &w : {k, k.substr(0, k.size() - 1), k + "_", k + "s", "_" + k, k.substr(1)}) words.push_back(w);
    std::string same_hash = k;
    if (same_hash.size() > 2) same_hash[1] = same_hash[1] == 'x' ? 'y' : 'x';
    words.push_back(same_hash);
  }
  for (SourceLanguage language : {SRC_C, SRC_CPP}) {
    table_init(table, nullptr, language);
    for (const std::string &w : words) {
      if (w.empty() || (language == SRC_C && w == "bool")) continue;
      const int keyword = keyword_code(w.data(), w.size(), language);
      const std::vector<Tok> got = scan(w.c_str());
      ASSERT_EQ(got.size(), 1u) << w;
      EXPECT_EQ(got[0].code, keyword ? keyword : T_IDENTIFIER) << w << " " << language;
    }
  }
}

// C reads the words only C++ reserves as names, and its boolean type as
// "_Bool" or as a "bool" that names nothing of the file's own.
TEST_F(Lex, CWordsAreNamesInC) {
  const char *cpp_only[] = {"bool", "catch", "class", "const_cast", "delete", "dynamic_cast", "explicit",
                            "export", "false", "friend", "mutable", "namespace", "new", "operator",
                            "overload", "private", "protected", "public", "reinterpret_cast",
                            "static_cast", "template", "this", "throw", "true", "try", "typeid",
                            "typename", "using", "virtual"};
  for (const char *w : cpp_only) {
    EXPECT_NE(keyword_code(w, std::strlen(w), SRC_CPP), 0) << w;
    EXPECT_EQ(keyword_code(w, std::strlen(w), SRC_C), 0) << w;
  }
  for (const char *w : {"int", "struct", "sizeof", "wchar_t", "asm", "inline", "goto", "volatile"})
    EXPECT_EQ(keyword_code(w, std::strlen(w), SRC_C), keyword_code(w, std::strlen(w), SRC_CPP)) << w;

  table_init(table, nullptr, SRC_C);
  EXPECT_EQ(codes("struct node *new; int class; try:"),
            (std::vector<int>{K_STRUCT, T_IDENTIFIER, '*', T_IDENTIFIER, ';', K_INT, T_IDENTIFIER, ';',
                              T_IDENTIFIER, ':'}));
  // "bool" is the boolean type where it can only be one, a name after a type.
  EXPECT_EQ(codes("_Bool a; bool b; (bool c, const bool d)"),
            (std::vector<int>{K_BOOL, T_IDENTIFIER, ';', K_BOOL, T_IDENTIFIER, ';', '(', K_BOOL, T_IDENTIFIER,
                              ',', K_CONST, K_BOOL, T_IDENTIFIER, ')'}));
  EXPECT_EQ(codes("typedef int bool; typedef enum { F } bool; typedef bool _Bool;"),
            (std::vector<int>{K_TYPEDEF, K_INT, T_IDENTIFIER, ';', K_TYPEDEF, K_ENUM, '{', T_IDENTIFIER, '}',
                              T_IDENTIFIER, ';', K_TYPEDEF, K_BOOL, T_IDENTIFIER, ';'}));
  // After a function body a declaration starts.
  EXPECT_EQ(codes("} _Bool flag;"), (std::vector<int>{'}', K_BOOL, T_IDENTIFIER, ';'}));
  declare("bool", integer_type(intern_string("int"), -32, 0), SF_TYPEDEF);
  EXPECT_EQ(codes("bool x;"), (std::vector<int>{T_DECLARED_NAME, T_IDENTIFIER, ';'}));
  // A table initialised again is C++ unless told otherwise.
  table_init(table, nullptr);
  EXPECT_EQ(codes("new class"), (std::vector<int>{K_NEW, K_CLASS}));
}

// Blanks and newlines are skipped a run at a time: every newline of a run
// counts, a '#' after a run holding a newline starts a directive line and
// one after blanks only on the same line does not, and a run may end the
// text. Punctuators that begin no longer one are taken at once, up to the
// end of the text.
TEST_F(Lex, RunsOfBlanksAndNewlinesAndSinglePunctuators) {
  auto toks = scan(" \t\n\n\r\n  a \v\f b\n\n\n\t(\n \n)  \n");
  ASSERT_EQ(toks.size(), 4u);
  EXPECT_EQ(toks[0].text, "a");
  EXPECT_EQ(toks[0].line, 4);
  EXPECT_EQ(toks[1].text, "b");
  EXPECT_EQ(toks[1].line, 4);
  EXPECT_EQ(toks[2].code, '(');
  EXPECT_EQ(toks[2].line, 7);
  EXPECT_EQ(toks[3].code, ')');
  EXPECT_EQ(toks[3].line, 9);

  // A marker after a run of blank lines and indentation sets the line; a
  // '#' further on a line matches no rule and is skipped.
  toks = scan("x\n \n\t\n  #line 20 \"m.h\"\n y # z\n\n");
  ASSERT_EQ(toks.size(), 3u);
  EXPECT_EQ(toks[0].line, 1);
  EXPECT_EQ(toks[1].text, "y");
  EXPECT_EQ(toks[1].line, 20);
  EXPECT_EQ(toks[2].text, "z");
  EXPECT_EQ(toks[2].line, 20);
  EXPECT_STREQ(lex_current_file(sc), "m.h");

  EXPECT_TRUE(scan(" \t\n \n\r").empty());
  EXPECT_TRUE(scan("").empty());

  struct Case {
    const char *text;
    std::vector<std::pair<int, std::string>> tokens;
  } cases[] = {
      {"(", {{'(', "("}}},
      {";", {{';', ";"}}},
      {"(),;{}[]?~@", {{'(', "("}, {')', ")"}, {',', ","}, {';', ";"}, {'{', "{"}, {'}', "}"}, {'[', "["},
                       {']', "]"}, {'?', "?"}, {'~', "~"}, {'@', "@"}}},
      {"f(a,b);", {{T_IDENTIFIER, "f"}, {'(', "("}, {T_IDENTIFIER, "a"}, {',', ","}, {T_IDENTIFIER, "b"},
                   {')', ")"}, {';', ";"}}},
      // The preprocessor has spelt the digraphs out: here they are two
      // punctuators each, beside the single ones.
      {"<: :> <% %> (<:)%:", {{'<', "<"}, {':', ":"}, {':', ":"}, {'>', ">"}, {'<', "<"}, {'%', "%"}, {'%', "%"},
                              {'>', ">"}, {'(', "("}, {'<', "<"}, {':', ":"}, {')', ")"}, {'%', "%"}, {':', ":"}}},
      {"(::)::", {{'(', "("}, {P_SCOPE, "::"}, {')', ")"}, {P_SCOPE, "::"}}},
      {"a/*c*/;//d\n}", {{T_IDENTIFIER, "a"}, {'/', "/"}, {'*', "*"}, {T_IDENTIFIER, "c"}, {'*', "*"},
                         {'/', "/"}, {';', ";"}, {'/', "/"}, {'/', "/"}, {T_IDENTIFIER, "d"}, {'}', "}"}}},
      {"('(')\")\"", {{'(', "("}, {T_CHARACTER, "'('"}, {')', ")"}, {T_STRING, "\")\""}}},
      {"{L'}'}", {{'{', "{"}, {T_CHARACTER, "L'}'"}, {'}', "}"}}},
      // Each kind of first character, the text ending right after it.
      {"L", {{T_IDENTIFIER, "L"}}},
      {"u'", {{T_IDENTIFIER, "u"}}},
      {"U\"x\"", {{T_STRING, "U\"x\""}}},
      {"Lx", {{T_IDENTIFIER, "Lx"}}},
      {"$", {{T_IDENTIFIER, "$"}}},
      {"9", {{T_INTEGER, "9"}}},
      {".", {{'.', "."}}},
      {".5", {{T_FLOATING, ".5"}}},
      {"...", {{P_ELLIPSIS, "..."}}},
      {"'", {}},
      {"\"", {}},
      {"a #", {{T_IDENTIFIER, "a"}}},
      {"a \x80\xff", {{T_IDENTIFIER, "a"}}},
  };
  for (const Case &c : cases) {
    toks = scan(c.text);
    ASSERT_EQ(toks.size(), c.tokens.size()) << c.text;
    for (std::size_t i = 0; i < toks.size(); ++i) {
      EXPECT_EQ(toks[i].code, c.tokens[i].first) << c.text << " #" << i;
      EXPECT_EQ(toks[i].text, c.tokens[i].second) << c.text << " #" << i;
    }
  }
  EXPECT_TRUE(reports.empty());
}

TEST_F(Lex, LineDirectivesAndPositions) {
  // The number names the line after the directive; other directive lines count.
  auto toks = scan("a\n#line 40 \"inc/h.h\"\nb\n  #pragma something\nc\n# line 7 \"\"\nd");
  ASSERT_EQ(toks.size(), 4u);
  EXPECT_EQ(toks[0].line, 1);
  EXPECT_EQ(toks[1].line, 40);
  EXPECT_EQ(toks[2].line, 42);
  EXPECT_EQ(toks[3].line, 7);

  lex_begin(sc, &table, "t.c", 1, 0, 0);
  lex_set_text(sc, "#line 40 \"h.h\"\nint int x;");
  EXPECT_EQ(lex_next(sc), K_INT);
  EXPECT_STREQ(lex_current_file(sc), "h.h");
  EXPECT_EQ(lex_next(sc), K_INT);
  lex_syntax_error(sc);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].code, "SYNTAXERR");
  EXPECT_EQ(reports[0].arg, "int");
  EXPECT_EQ(reports[0].file, "h.h");
  EXPECT_EQ(reports[0].line, 40);
  // Declarations entered now carry the file of the #line.
  while (lex_next(sc) != T_END) {
  }
  lex_syntax_error(sc);
  EXPECT_EQ(reports.back().code, "UNEXP_EOF");
  EXPECT_EQ(reports.back().severity, SEV_ERROR);
  lex_end(sc);

  // Escaped marker names (PREPRO_ONLY) read back to the plain name; plain
  // ones keep every backslash and end at the first quote.
  lex_set_escaped_line_names(true);
  lex_begin(sc, &table, "t.c", 1, 0, 0);
  lex_set_text(sc, "#line 3 \".\\\\s\\\\a\\\"b.c\"\nx\n#line 4 \"c:\\\\\"\ny");
  EXPECT_EQ(lex_next(sc), T_IDENTIFIER);
  EXPECT_STREQ(lex_current_file(sc), ".\\s\\a\"b.c");
  EXPECT_EQ(lex_next(sc), T_IDENTIFIER);
  EXPECT_STREQ(lex_current_file(sc), "c:\\");
  lex_end(sc);
  lex_set_escaped_line_names(false);
  lex_begin(sc, &table, "t.c", 1, 0, 0);
  lex_set_text(sc, "#line 3 \".\\s\\\\t.c\"\nx");
  EXPECT_EQ(lex_next(sc), T_IDENTIFIER);
  EXPECT_STREQ(lex_current_file(sc), ".\\s\\\\t.c");
  lex_end(sc);

  // Malformed or absurd #line directives change nothing and count their line.
  std::string long_name(100000, 'n');
  std::string text = "#line 12\"x.h\"\na\n#line 99999999999999999999 \"y.h\"\nb\n#line " + std::string(2000, '1') +
                     " \"z.h\"\nc\n#line 5 \"" + long_name + "\"\nd\n#line 6 \"unclosed\ne";
  lex_begin(sc, &table, "t.c", 1, 0, 0);
  lex_set_text(sc, text.c_str());
  EXPECT_EQ(lex_next(sc), T_IDENTIFIER);
  EXPECT_EQ(lex_current_line(sc), 2);
  EXPECT_STREQ(lex_current_file(sc), "t.c");
  EXPECT_EQ(lex_next(sc), T_IDENTIFIER);
  EXPECT_EQ(lex_current_line(sc), 4);
  EXPECT_EQ(lex_next(sc), T_IDENTIFIER);
  EXPECT_EQ(lex_current_line(sc), 6);
  EXPECT_EQ(lex_next(sc), T_IDENTIFIER);
  EXPECT_EQ(lex_current_line(sc), 5);
  EXPECT_EQ(std::string(lex_current_file(sc)), long_name);
  EXPECT_EQ(lex_next(sc), T_IDENTIFIER);
  EXPECT_EQ(lex_current_line(sc), 7);
  lex_end(sc);

  // A long token is reported by its last 59 characters.
  std::string s = "\"" + std::string(100, 'q') + "\"";
  lex_begin(sc, &table, "t.c", 1, 0, 0);
  lex_set_text(sc, s.c_str());
  EXPECT_EQ(lex_next(sc), T_STRING);
  lex_syntax_error(sc);
  EXPECT_EQ(reports.back().arg, s.substr(s.size() - 59));
  lex_end(sc);
}

// Restoring "here" leaves the scanner as restoring a mark just taken does:
// the next syntax error names no token, the end is read again, and the
// next token is the same.
TEST_F(Lex, RestoreHereIsRestoringAMarkJustTaken) {
  for (int tokens : {1, 2, 4}) {
    TokenScanner a, b;
    lex_begin(a, &table, "t.c", 1, 0, 0);
    lex_begin(b, &table, "t.c", 1, 0, 0);
    lex_set_text(a, "int x;");
    lex_set_text(b, "int x;");
    for (int i = 0; i < tokens; ++i) {
      lex_next(a);
      lex_next(b);
    }
    lex_restore(a, lex_mark(a));
    lex_restore_here(b);
    EXPECT_EQ(a.token_start, b.token_start);
    EXPECT_EQ(a.text, b.text);
    EXPECT_EQ(a.at_end, b.at_end);
    EXPECT_EQ(a.token_state.valid, b.token_state.valid);
    reports.clear();
    lex_syntax_error(a);
    lex_syntax_error(b);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].code, reports[1].code);
    EXPECT_EQ(reports[0].arg, reports[1].arg);
    EXPECT_EQ(lex_next(a), lex_next(b));
    lex_end(a);
    lex_end(b);
  }
}

// A marker naming the file the scan is in keeps its copy of the name; one
// naming another file, a file whose name the current one begins or an empty
// name changes it, and a marker back names the first file again. A
// directive line handed over with a zero in its name keeps every character
// in the position; the reports name the file up to the zero.
TEST_F(Lex, LineMarkersOfTheSameFileKeepItsName) {
  lex_begin(sc, &table, "t.c", 1, 0, 0);
  lex_set_text(sc, "#line 5 \"a.h\"\nw\n#line 9 \"a.h\"\nx\n#line 2 \"a.hh\"\ny\n#line 3 \"\"\nz\n"
                   "#line 4 \"a.h\"\nv\n#line 6 \"a\"\nu\n");
  const char *a = intern_string("a.h");
  const std::vector<std::pair<const char *, int>> want = {
      {a, 5}, {a, 9}, {intern_string("a.hh"), 2}, {nullptr, 3}, {a, 4}, {intern_string("a"), 6}};
  for (const auto &w : want) {
    EXPECT_EQ(lex_next(sc), T_IDENTIFIER);
    EXPECT_EQ(lex_current_file(sc), w.first);
    EXPECT_EQ(lex_current_line(sc), w.second);
    EXPECT_EQ(sc.position->file, w.first ? w.first : "");
  }
  EXPECT_EQ(lex_next(sc), T_END);
  const std::string zero = std::string("line 8 \"ab") + '\0' + "cd\"";
  EXPECT_TRUE(lex_directive_line(sc, zero.data(), zero.size()));
  EXPECT_EQ(lex_current_file(sc), intern_string("ab"));
  EXPECT_EQ(sc.position->file, std::string("ab") + '\0' + "cd");
  EXPECT_TRUE(lex_directive_line(sc, zero.data(), zero.size()));
  EXPECT_EQ(lex_current_file(sc), intern_string("ab"));
  const std::string same = "line 9 \"ab\"";
  EXPECT_TRUE(lex_directive_line(sc, same.data(), same.size()));
  EXPECT_EQ(lex_current_file(sc), intern_string("ab"));
  EXPECT_EQ(sc.position->file, "ab");
  lex_end(sc);
}

TEST_F(Lex, CapturedBodiesFollowLineMarkers) {
  lex_begin(sc, &table, "t.c", 1, 0, 0);
  const char *text = "template<class T> T f() {\n#line 40 \"other.h\"\n return 0;\n}\nint g;";
  lex_set_text(sc, text);
  int code;
  while ((code = lex_next(sc)) != T_BODY_TEXT && code != T_END) {
  }
  ASSERT_EQ(code, T_BODY_TEXT);
  EXPECT_EQ(lex_next(sc), K_INT);
  EXPECT_EQ(lex_current_line(sc), 42);
  EXPECT_STREQ(lex_current_file(sc), "other.h");
  // The same through capture_text on the scanner's own counter.
  lex_set_text(sc, "{ a;\n#line 7 \"x.h\"\n}\nb");
  const char *cursor = sc.text + 1;
  bool ok = false;
  std::string body = capture_text(&cursor, "}", true, true, &sc.position->line, "{", false, &ok, &sc);
  EXPECT_TRUE(ok);
  EXPECT_EQ(lex_current_line(sc), 7);
  EXPECT_STREQ(lex_current_file(sc), "x.h");
  lex_end(sc);
}

// A token read again after lex_unread_token is read as it was the first
// time, and so are the tokens after it: the scan state a token's start keeps
// is the state before it, at any token, after a single blank, a run of
// blanks and line ends or none, inside template arguments and headers, after
// "::", "operator" and a line marker.
// A single blank is passed without the loop over a run: the tokens, their
// lines and a marker after it read as they do after a run of two blanks.
TEST_F(Lex, ASingleBlankReadsAsARunOfBlanks) {
  const char *texts[] = {"a b", "a ", " a", "a \tb", "x\n #line 9 \"q.h\"\n y", "x \n y", "f( a ) ;", " ",
                         "x\n # 4\n z", "a \v b"};
  for (const char *text : texts) {
    std::string doubled;
    for (const char *c = text; *c; ++c) doubled += *c == ' ' ? std::string("  ") : std::string(1, *c);
    const std::vector<Tok> single = scan(text);
    const std::string single_file = lex_current_file(sc) ? lex_current_file(sc) : "";
    const std::vector<Tok> run = scan(doubled.c_str());
    EXPECT_EQ(single_file, lex_current_file(sc) ? lex_current_file(sc) : "") << text;
    ASSERT_EQ(single.size(), run.size()) << text;
    for (std::size_t i = 0; i < single.size(); ++i) {
      EXPECT_EQ(single[i].code, run[i].code) << text << ", token " << i;
      EXPECT_EQ(single[i].text, run[i].text) << text << ", token " << i;
      EXPECT_EQ(single[i].line, run[i].line) << text << ", token " << i;
    }
  }
}

TEST_F(Lex, ATokenReadAgainReadsAsTheFirstTime) {
  table.language = SRC_CPP;
  const char *texts[] = {
      "template <class T, int N = (3 > 2)> struct A { T x[N]; };\n  A<A<int>> a; b = c < d;",
      "x::y z;\n\n\t operator<(p, q) ; using ::exception; w\n# 7 \"m.h\"\n v",
      "f(a,b);  g (c) ;\n\r\n h",
      "tr<T>::value < 3 ; X<T{a > b}> y ; decltype(a >> b) c;",
  };
  for (const char *text : texts) {
    const std::vector<Tok> straight = scan(text);
    for (std::size_t k = 1; k <= straight.size(); ++k) {
      lex_begin(sc, &table, "t.c", 1, 0, 0);
      lex_set_text(sc, text);
      for (std::size_t i = 0; i < k; ++i) lex_next(sc);
      lex_unread_token(sc);
      std::vector<Tok> again(straight.begin(), straight.begin() + static_cast<std::ptrdiff_t>(k - 1));
      for (int guard = 0; guard < 1000; ++guard) {
        const int c = lex_next(sc);
        if (c == T_END) break;
        again.push_back({c, std::string(sc.token_text), lex_current_line(sc)});
      }
      lex_end(sc);
      ASSERT_EQ(again.size(), straight.size()) << text << " at " << k;
      for (std::size_t i = 0; i < straight.size(); ++i) {
        EXPECT_EQ(again[i].code, straight[i].code) << text << " at " << k << ", token " << i;
        EXPECT_EQ(again[i].text, straight[i].text) << text << " at " << k << ", token " << i;
        EXPECT_EQ(again[i].line, straight[i].line) << text << " at " << k << ", token " << i;
      }
    }
  }
}

TEST_F(Lex, NestedScansKeepTheirOwnPosition) {
  lex_begin(sc, &table, "outer.c", 10, 0, 0);
  lex_set_text(sc, "one two");
  EXPECT_EQ(lex_next(sc), T_IDENTIFIER);
  {
    // A nested scan has a scanner of its own.
    TokenScanner inner;
    lex_begin(inner, &table, "inner.h", 3, 1, 1);
    lex_set_text(inner, "\nthree");
    EXPECT_EQ(lex_next(inner), T_IDENTIFIER);
    EXPECT_EQ(inner.token_text, "three");
    EXPECT_EQ(lex_current_line(inner), 4);
    EXPECT_STREQ(lex_current_file(inner), "inner.h");
    EXPECT_EQ(lex_next(inner), T_END);
    lex_end(inner);
  }
  EXPECT_STREQ(lex_current_file(sc), "outer.c");
  EXPECT_EQ(lex_current_line(sc), 10);
  EXPECT_EQ(lex_next(sc), T_IDENTIFIER);
  EXPECT_EQ(sc.token_text, "two");
  lex_unread_token(sc);
  EXPECT_EQ(lex_next(sc), T_IDENTIFIER);
  EXPECT_EQ(sc.token_text, "two");
  lex_unput(sc, ' ');
  lex_unput(sc, 'z');
  lex_unput(sc, 'y');
  EXPECT_EQ(lex_next(sc), T_IDENTIFIER);
  EXPECT_EQ(sc.token_text, "yz");
  lex_unput(sc, 'w');
  EXPECT_EQ(lex_next(sc), T_IDENTIFIER);  // returned in front of the rest of the push-back
  EXPECT_EQ(sc.token_text, "w");
  LexMark m = lex_mark(sc);
  EXPECT_EQ(lex_next(sc), T_END);
  lex_restore(sc, m);
  EXPECT_EQ(lex_next(sc), T_END);
  lex_end(sc);
  EXPECT_EQ(sc.position, nullptr);
}

TEST_F(Lex, IdentifierClassification) {
  TypeDesc *c = class_type("C");
  declare("C", c);
  // A typedef inside C, reachable only after "C::".
  Declaration *inner = decl_new("inner", basic_type("int"));
  inner->storage = SF_TYPEDEF;
  inner->scope_kind = 1;
  inner->scope = c;
  enter_declaration(inner, table, ScopeContext{1, c}, 1);
  declare("T", basic_type("int"), SF_TYPEDEF);
  declare("v", basic_type("int"));
  declare("L", template_type("L", false));
  TypeDesc *e = type_new(TK_ENUM);
  e->enumeration()->name = intern_string("E");
  declare("E", e);
  // A type modifier as the preprocessor registers it.
  MacroTable macros;
  pp_init(nullptr, nullptr, macros, false);
  std::string preprocessed;
  pp_process_text("#pragma ortek type_modifier = far\n", false, "", 0, preprocessed, macros);

  auto toks = scan("C::inner inner T v E far nothing ~C L");
  std::vector<int> got;
  for (const Tok &t : toks) got.push_back(t.code);
  EXPECT_EQ(got, (std::vector<int>{T_CLASS_NAME, P_SCOPE, T_DECLARED_NAME, T_IDENTIFIER, T_DECLARED_NAME,
                                   T_DECLARED_NAME, T_DECLARED_NAME, T_TYPE_MODIFIER, T_IDENTIFIER, '~',
                                   T_CLASS_NAME, T_TEMPLATE_NAME}));
  pp_release(macros, false);

  // The grammar's hooks: names being declared stay identifiers; template
  // parameters are type names inside a header.
  static const char *own = nullptr;
  own = intern_string("T");
  sc.hooks.own_name = [](void *, const char *n) { return n == own; };
  sc.hooks.template_parameter = [](void *, const char *n) { return std::string(n) == "P" ? 2 : 0; };
  got.clear();
  for (const Tok &t : scan("T P")) got.push_back(t.code);
  EXPECT_EQ(got, (std::vector<int>{T_IDENTIFIER, T_CLASS_NAME}));
  sc.hooks = LexHooks();

  // Values carry the interned name and the entry found.
  lex_begin(sc, &table, "t.c", 1, 0, 0);
  lex_set_text(sc, "v");
  EXPECT_EQ(lex_next(sc), T_DECLARED_NAME);
  EXPECT_STREQ(sc.value.text, "v");
  EXPECT_EQ(sc.value.found, 1);
  ASSERT_NE(sc.value.symbol, nullptr);
  EXPECT_STREQ(sc.value.symbol->decl->name, "v");
  lex_end(sc);
}

TEST_F(Lex, SizeAndSignPragmas) {
  declare("MYINT", private_copy(basic_type("int")), SF_TYPEDEF);
  declare("ALIAS", named_type("MYINT", lookup_ordinary("MYINT", table, ScopeContext())->decl->type), SF_TYPEDEF);
  auto toks = scan(
      "#pragma ortek sizeof(int)=16\n"
      "   #pragma ortek sizeof long = 64\n"
      "#pragma ortek sizeof(char)=0\n"
      "#pragma ortek sizeof(short)=-8\n"
      "#pragma ortek sizeof(longlong)=200\n"
      "#pragma ortek sizeof(ALIAS)=8\n"
      "#pragma ortek signof(char)=unsigned\n"
      "#pragma ortek signof(MYINT)=unsigned\n"
      "x\n");
  ASSERT_EQ(toks.size(), 1u);
  EXPECT_EQ(toks[0].line, 9);
  const AnalysisSettings &a = analysis_settings();
  EXPECT_EQ(a.sizes->int_bits, 16);
  EXPECT_EQ(a.sizes->long_bits, 64);
  EXPECT_EQ(a.sizes->char_bits, 8);
  EXPECT_EQ(a.sizes->short_bits, 16);
  EXPECT_EQ(a.sizes->longlong_bits, 64);
  EXPECT_EQ(a.sizes->plain_char_unsigned, 1);
  ASSERT_EQ(a.sizes->declared_sizes.size(), 3u);
  EXPECT_EQ(a.sizes->declared_sizes[0], (std::pair<std::string, int>("int", 2)));
  EXPECT_EQ(a.sizes->declared_sizes[2], (std::pair<std::string, int>("ALIAS", 1)));
  TypeDesc *my = strip_typedefs(lookup_ordinary("MYINT", table, ScopeContext())->decl->type);
  EXPECT_EQ(my->integer()->size, 8);  // sized through ALIAS, then made unsigned
  EXPECT_TRUE(reports.empty());
  reset_target_sizes();
}

TEST_F(Lex, ConstantConversion) {
  auto int_value = [](const ConstantValue &v) {
    int32_t out = 0;
    pint_to_int(&out, &v.value);
    return out;
  };
  ConstantValue v;
  convert_integer("017", v);
  EXPECT_EQ(int_value(v), 15);
  EXPECT_EQ(v.width, -32);
  convert_integer("0x1Ful", v);
  EXPECT_EQ(int_value(v), 31);
  EXPECT_EQ(v.width, 32);
  EXPECT_EQ(v.suffix, "ul");
  convert_integer("4294967295", v);
  EXPECT_TRUE(reports.empty());
  convert_integer("4294967296", v);
  EXPECT_EQ(count("ENTOUTRAN"), 1);
  convert_integer("4294967296ll", v);
  EXPECT_EQ(count("ENTOUTRAN"), 1);
  EXPECT_EQ(v.width, -64);
  convert_integer(std::string(80, '9').c_str(), v);  // beyond any width, beyond 168 bits
  EXPECT_EQ(count("ENTOUTRAN"), 2);
  convert_integer(("0x" + std::string(60, 'F')).c_str(), v);
  EXPECT_EQ(count("ENTOUTRAN"), 3);
  // Long long constants have the long long width; binary constants their value.
  convert_integer("0xFFFFFFFFFFFFFFFFULL", v);
  EXPECT_EQ(count("ENTOUTRAN"), 3);
  EXPECT_EQ(v.width, 64);
  EXPECT_EQ(v.suffix, "ull");
  convert_integer("10lu", v);
  EXPECT_EQ(int_value(v), 10);
  EXPECT_EQ(v.width, 32);
  EXPECT_EQ(v.suffix, "ul");
  convert_integer("0b1010", v);
  EXPECT_EQ(int_value(v), 10);
  EXPECT_EQ(v.width, -32);
  convert_integer("0B11LLU", v);
  EXPECT_EQ(int_value(v), 3);
  EXPECT_EQ(v.width, 64);
  convert_radix_integer("FFh", v);
  EXPECT_EQ(int_value(v), 255);
  convert_radix_integer("101b", v);
  EXPECT_EQ(int_value(v), 5);
  convert_radix_integer("1FFFFFFFFh", v);
  EXPECT_EQ(count("ENTOUTRAN"), 4);
  convert_floating("2.5e3f", v);
  EXPECT_EQ(v.kind, 1);
  EXPECT_EQ(v.suffix, "f");
  EXPECT_EQ(v.text, "2.5e3f");
  convert_floating("1.0L", v);
  EXPECT_EQ(v.suffix, "L");
  for (const Report &r : reports) EXPECT_EQ(r.arg, "");

  struct Case {
    const char *text;
    int32_t value;
    const char *report;  // nullptr: none
  } chars[] = {
      {"'a'", 'a', nullptr},
      {"'\\n'", 10, nullptr},
      {"'\\E'", 27, nullptr},
      {"'\\{'", '{', nullptr},
      {"'\\101'", 65, nullptr},
      {"'\\x41'", 0x41, nullptr},
      {"'\\x'", 0, "NOHEXDIGI"},
      {"'\\q'", 'q', "SEQUEINCO"},
      {"'\\\x01'", 1, "SEQUEINCO"},
      {"'\\377'", -1, nullptr},  // plain char is signed: sign-extended
      {"''", 0, "CSTCARVID"},
      {"'ab'", ('a' << 8) | 'b', "MULCARCST"},
      {"'abcde'", ('a' << 24) | ('b' << 16) | ('c' << 8) | 'd', "TOLOCSTCA"},
      {"'ab", ('a' << 8) | 'b', "INVCSTCAR"},
      {"'\xff'", -1, "INVCSTCAR"},
      {"L'A'", 65, nullptr},
  };
  for (const Case &c : chars) {
    reports.clear();
    convert_character(c.text, v);
    EXPECT_EQ(int_value(v), c.value) << c.text;
    if (c.report) EXPECT_EQ(count(c.report), 1) << c.text;
    else EXPECT_TRUE(reports.empty()) << c.text;
  }
  reports.clear();
  analysis_settings().sizes->plain_char_unsigned = 1;
  convert_character("'\\377'", v);
  EXPECT_EQ(int_value(v), 255);
  EXPECT_EQ(v.width, 8);
  analysis_settings().multichar_allowed = 1;
  convert_character("'ab'", v);
  EXPECT_TRUE(reports.empty());
  // Encoding prefixes: char32_t and char16_t units are unsigned, u8 is a char.
  convert_character("U'a'", v);
  EXPECT_EQ(int_value(v), 97);
  EXPECT_EQ(v.width, 32);
  convert_character("u'\\xFFFF'", v);
  EXPECT_EQ(int_value(v), 65535);
  EXPECT_EQ(v.width, 16);
  convert_character("u8'c'", v);
  EXPECT_EQ(int_value(v), 99);
  EXPECT_EQ(v.width, 8);
  EXPECT_TRUE(reports.empty());
}

// The skip reads a line's indentation and the runs between the characters
// that matter at once: on random texts of brackets, literals, escapes,
// blanks and directive lines it stops where a character-by-character
// reading stops, with the same count of lines.
TEST(SkipBalanced, AgreesWithAReadingCharacterByCharacter) {
  auto reference = [](const char *text, const char *stops, bool include_stop, bool nesting, int *lines) -> const char * {
    const bool angle = std::strchr(stops, '>') != nullptr;
    const bool stop_newline = std::strchr(stops, '\n') != nullptr;
    std::vector<char> expected;
    const char *p = text;
    bool line_start = false;
    for (;;) {
      const char c = *p;
      if (c == '\0') return nullptr;
      if (c == '\n') {
        if (expected.empty() && stop_newline) return include_stop ? p + 1 : p;
        if (lines) ++*lines;
        ++p;
        line_start = true;
        continue;
      }
      if (line_start && c == '#') {  // no "#line" marker can be formed here
        const char *eol = std::strchr(p, '\n');
        if (!eol) return nullptr;
        if (lines) ++*lines;
        p = eol + 1;
        continue;
      }
      if (!(c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r')) line_start = false;
      if (c == '"' || c == '\'') {
        ++p;
        while (*p && *p != c) {
          if (*p == '\\' && p[1]) {
            if (p[1] == '\n' && lines) ++*lines;
            p += 2;
            continue;
          }
          if (*p == '\n' && lines) ++*lines;
          ++p;
        }
        if (!*p) return nullptr;
        ++p;
        continue;
      }
      const bool opener = c == '(' || c == '[' || c == '{' || (c == '<' && angle);
      const char closer = c == '(' ? ')' : c == '[' ? ']' : c == '{' ? '}' : '>';
      if (!expected.empty()) {
        if (c == expected.back()) expected.pop_back();
        else if (opener) expected.push_back(closer);
        ++p;
        continue;
      }
      if (std::strchr(")],;>}", c) && std::strchr(stops, c)) return include_stop ? p + 1 : p;
      if (nesting && opener) expected.push_back(closer);
      ++p;
    }
  };
  const std::string alphabet = "  \t\r\v\n\n#(){}[]<>,;\"'\\ax=";
  const char *stop_sets[] = {"}", ";", ",)", ",;)]}", ";)]}", "\n", ",>", ")", ">", ";>", ",;>", ""};
  unsigned seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) & 0x7fff;
  };
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    const int length = static_cast<int>(next() % 40);
    for (int i = 0; i < length; ++i) text += alphabet[next() % alphabet.size()];
    const char *stops = stop_sets[next() % std::size(stop_sets)];
    const bool include_stop = next() % 2, nesting = next() % 4 != 0;
    int want_lines = 0, got_lines = 0;
    const char *want = reference(text.c_str(), stops, include_stop, nesting, &want_lines);
    const char *got = skip_balanced(text.c_str(), stops, include_stop, nesting, &got_lines);
    ASSERT_EQ(got, want) << "text \"" << text << "\" stops \"" << stops << "\"";
    ASSERT_EQ(got_lines, want_lines) << text;
  }
  // A body: nested braces, braces in literals, escaped quotes, indentation.
  const char *body = "\n    if (a) {\n\t\tputs(\"}\");\n\t\tc = '}';\n      s = \"\\\"{\";\n    }\n  }\nint after;";
  int lines = 0, want_lines = 0;
  EXPECT_EQ(skip_balanced(body, "}", true, true, &lines), reference(body, "}", true, true, &want_lines));
  EXPECT_EQ(std::string(skip_balanced(body, "}", true, true, nullptr)), "\nint after;");
  EXPECT_EQ(lines, want_lines);
  EXPECT_EQ(lines, 6);
}

TEST(SkipBalanced, BracketsStringsAndStops) {
  int lines = 0;
  const char *t = "a(b,c)[x;y]{p;q} , rest";
  const char *r = skip_balanced(t, ",", false, true, &lines);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(std::string(r), ", rest");
  r = skip_balanced(t, ",", true, true, &lines);
  EXPECT_EQ(std::string(r), " rest");
  // Without nesting the first ',' inside the parentheses stops.
  r = skip_balanced(t, ",", false, false, &lines);
  EXPECT_EQ(std::string(r), ",c)[x;y]{p;q} , rest");
  // Quotes hide stops; escapes hide quotes.
  r = skip_balanced("\"a;\\\"b;\" ';' \\\\; x", ";", false, true, &lines);
  EXPECT_EQ(std::string(r), "; x");
  // '<' nests only when '>' is a stop.
  r = skip_balanced("A<B,C>, D>", ",>", false, true, nullptr);
  EXPECT_EQ(std::string(r), ", D>");
  r = skip_balanced("a<b, c", ",", false, true, nullptr);
  EXPECT_EQ(std::string(r), ", c");
  // Newlines are counted, and stop when asked.
  lines = 0;
  r = skip_balanced("x\n(\n)\n;", ";", false, true, &lines);
  EXPECT_EQ(std::string(r), ";");
  EXPECT_EQ(lines, 3);
  r = skip_balanced("ab\ncd", "\n", false, true, nullptr);
  EXPECT_EQ(std::string(r), "\ncd");
  // A '#' inside a line is text; after blanks at a line's start it begins a
  // directive line, whose brackets do not count.
  lines = 0;
  r = skip_balanced("x = a # } b\n  #define Q }\n y }rest", "}", false, true, &lines);
  EXPECT_EQ(std::string(r), "} b\n  #define Q }\n y }rest");
  r = skip_balanced("x = a # b\n  #define Q }\n y }rest", "}", false, true, &lines);
  EXPECT_EQ(std::string(r), "}rest");
  EXPECT_EQ(lines, 2);
  EXPECT_EQ(skip_balanced("(((", ";", false, true, nullptr), nullptr);
  EXPECT_EQ(skip_balanced("\"open ;", ";", false, true, nullptr), nullptr);
  // Deep nesting needs no recursion.
  std::string deep = std::string(200000, '(') + std::string(200000, ')') + ";";
  r = skip_balanced(deep.c_str(), ";", false, true, nullptr);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(*r, ';');

  // Line markers inside skipped text set the counter; other directive lines
  // are no text to balance and count as lines.
  lines = 0;
  r = skip_balanced(" a;\n#line 33 \"b.c\"\n x;\n#pragma x (\n}", "}", true, true, &lines);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(*r, '\0');
  EXPECT_EQ(lines, 35);

  const char *cursor = "  int  *  p [ 3 ] ,\tq ;";
  bool ok = false;
  std::string c = capture_text(&cursor, ";", false, true, nullptr, "=", true, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(c, "= int*p[3],q");
  EXPECT_EQ(std::string(cursor), ";");
  cursor = "no stop";
  c = capture_text(&cursor, ";", false, true, nullptr, "", false, &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(*cursor, '\0');
}

}  // namespace
