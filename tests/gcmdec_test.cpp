#include "gcmdec.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// A small tool of its own: two positional parameters (the second an
// optional list), a negatable option, keywords with a default, numbers and
// one combination rule.
CommandTable make_table() {
  CommandTable t;
  CmdParam input;
  input.names[0] = input.names[1] = "entree";
  input.names[2] = "input";
  input.minimum = 1;
  input.maximum = 8;
  t.params.push_back(input);
  CmdParam more = input;
  more.names[0] = more.names[1] = "autres";
  more.names[2] = "more";
  more.list = 'Y';
  more.optional = 1;
  t.params.push_back(more);

  auto option = [&](const char *fr, const char *gb) {
    CmdOption o;
    o.names[0] = o.names[1] = fr;
    o.names[2] = gb;
    t.options.push_back(o);
    return &t.options.back();
  };
  option("VERBEUX", "VERBOSE")->negatable = 1;                   // 1
  CmdOption *mode = option("MODE", "MODE");                      // 2
  mode->takes_value = 1;
  mode->value = input;
  mode->value.maximum = 20;
  mode->value.list = 'Y';
  for (const char *k : {"FAST", "FULL", "SAFE"}) {
    CmdKeyword kw;
    kw.names[0] = kw.names[1] = kw.names[2] = k;
    mode->keywords.push_back(kw);
  }
  mode->default_keyword = 3;
  CmdOption *level = option("NIVEAU", "LEVEL");                  // 3
  level->takes_value = 1;
  level->value.type = 'I';
  level->value.minimum = -5;
  level->value.maximum = 99;
  CmdOption *size = option("TAILLE", "SIZE");                    // 4
  size->takes_value = 1;
  size->value.type = 'L';
  size->value.minimum = 0;
  size->value.maximum = 2000000000;
  option("DEFINIR", "DEFINE")->takes_value = 1;                  // 5
  t.options.back().value = input;
  t.options.back().value.maximum = 100000;
  t.options.back().value.list = 'Y';
  option("DEFINE_STD", "STD_DEFINE")->takes_value = 1;           // 6
  t.options.back().value = input;
  option("TRACE", "TRACE")->default_on = 1;                      // 7
  option("SEC", "DRY");                                          // 8
  CmdRule rule;
  rule.first = {CMD_OPTION_GIVEN, 7, 0};       // DRY
  rule.second = {CMD_KEYWORD_USED, 1, 1};      // MODE=FULL
  t.rules.push_back(rule);
  t.usage[2] = "\nUsage tool:\n\t<input>\n\t[-XT=<level>]\n\t[-MODE=<mode>]\n";
  return t;
}

struct Outcome {
  int rc;
  std::string err;
};

Outcome decode(CommandTable &t, std::vector<std::string> args) {
  std::vector<char *> argv{const_cast<char *>("tool")};
  for (std::string &a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  testing::internal::CaptureStderr();
  int rc = decode_command(t, static_cast<int>(argv.size()) - 1, argv.data());
  return {rc, testing::internal::GetCapturedStderr()};
}

std::vector<std::string> expand(std::vector<std::string> args, int *rc = nullptr, std::string *err = nullptr) {
  CommandTable t = make_table();
  std::vector<char *> argv{const_cast<char *>("tool")};
  for (std::string &a : args) argv.push_back(a.data());
  int argc = static_cast<int>(argv.size());
  char **v = argv.data();
  testing::internal::CaptureStderr();
  int r = expand_arguments(t, argc, v);
  std::string e = testing::internal::GetCapturedStderr();
  if (rc) *rc = r;
  if (err) *err = e;
  std::vector<std::string> out;
  for (int i = 1; i < argc; ++i) out.push_back(v[i]);
  EXPECT_STREQ(v[0], "tool");
  if (r == 0) {
    EXPECT_EQ(v[argc], nullptr);
  }
  return out;
}

std::string write_file(const char *name, const std::string &content) {
  std::string path = std::string(ORTEK_BINARY_DIR) + "/gcmdec_" + name;
  std::FILE *f = std::fopen(path.c_str(), "wb");
  std::fwrite(content.data(), 1, content.size(), f);
  std::fclose(f);
  return path;
}

const char *kUsageShown = "\nUsage tool:\n\t<input>\n\t[-MODE=<mode>]\n";

TEST(Decoder, ComplaintHasHeadTextOffendingTextAndUsageWithoutHiddenLines) {
  CommandTable t = make_table();
  Outcome r = decode(t, {"a", "-bogus=1"});
  EXPECT_NE(r.rc, 0);
  EXPECT_EQ(r.err, std::string("ProbaX Command analysis : Unknown option, bogus=1") + kUsageShown + "\n");
  r = decode(t, {});
  EXPECT_EQ(r.err, std::string("ProbaX Command analysis : Argument missing, input") + kUsageShown + "\n");
}

TEST(Decoder, OptionMatchingExactFirstAbbreviationsNegationAndAmbiguity) {
  struct Case {
    std::vector<std::string> args;
    int option;  // 1-based position expected in the state, 0 none
    int state;
    const char *err;  // head of the complaint, null when accepted
  } cases[] = {
      {{"a", "-verb"}, 1, 1, nullptr},
      {{"a", "/VERBEUX"}, 1, 1, nullptr},       // French column
      {{"a", "-noverbose"}, 1, -1, nullptr},
      {{"a", "-NOVERB"}, 1, -1, nullptr},
      {{"a", "-DEFINE=X"}, 5, 1, nullptr},      // exact English beats the French DEFINE_STD
      {{"a", "-DEFINE_S=f"}, 6, 1, nullptr},
      {{"a", "-DEFIN=X"}, 0, 0, "Ambiguous option, DEFIN=X"},
      {{"a", "-d"}, 0, 0, "Ambiguous option, d"},
      {{"a", "-"}, 0, 0, "Ambiguous option,"},  // the empty name begins every option name
      {{"a", "-=x"}, 0, 0, "Ambiguous option, =x"},
      {{"a", "-verbose", "-verbose"}, 0, 0, "An option can't be used twice, verbose"},
      {{"a", "-verbose", "-noverbose"}, 0, 0, "An option can't be used twice, noverbose"},
      {{"a", "-verbose=1"}, 0, 0, "No argument for this option, verbose=1"},
      {{"a", "-LEVEL"}, 0, 0, "Mandatory argument for this option, LEVEL"},
      {{"a", "-LEVEL="}, 0, 0, "Mandatory argument for this option, LEVEL="},
      {{"a", "-mode"}, 0, 0, "Mandatory argument for this option, mode=FAST|FULL|SAFE"},
      {{"a", "-LEVEL=1,2"}, 0, 0, "List forbidden invalid option, LEVEL=1,2"},
  };
  for (const Case &c : cases) {
    CommandTable t = make_table();
    Outcome r = decode(t, c.args);
    SCOPED_TRACE(c.args.back());
    if (!c.err) {
      EXPECT_EQ(r.rc, 0) << r.err;
      EXPECT_EQ(option_state(t.options[c.option - 1].names[2]), c.state * c.option);
    } else {
      EXPECT_NE(r.rc, 0);
      EXPECT_EQ(r.err.rfind(std::string("ProbaX Command analysis : ") + c.err + "\nUsage", 0), 0u) << r.err;
    }
  }
}

TEST(Decoder, ValuesAreSplitValidatedAndCanonicalised) {
  CommandTable t = make_table();
  Outcome r = decode(t, {"a", "-DEFINE=x\\,y,z", "-DEFINI=w", "-mode=fu,s", "-level=-5", "-size=abc"});
  ASSERT_EQ(r.rc, 0) << r.err;
  int define = option_state("DEFINE");
  EXPECT_STREQ(option_value(define, 1)->text, "x,y");
  EXPECT_STREQ(option_value(define, 2)->text, "z");
  EXPECT_STREQ(option_value(define, 3)->text, "w");
  EXPECT_EQ(option_value(define, 4), nullptr);
  EXPECT_STREQ(option_value(2, 1)->text, "FULL");
  EXPECT_STREQ(option_value(2, 2)->text, "SAFE");
  EXPECT_EQ(t.options[1].keywords[1].used, 1);
  EXPECT_EQ(option_value(3, 1)->number, -5);
  EXPECT_EQ(option_value(4, 1)->number, 0);  // not a number reads as 0

  struct Case {
    const char *arg, *err;
  } bad[] = {
      {"-level=-6", "Arg value too small, -6"},
      {"-level=100", "Arg value too large, 100"},
      {"-level=99999999999999999999", "Arg value too large, 99999999999999999999"},
      {"-level=4294967296", "Arg value too large, 4294967296"},  // no wrap to 0
      {"-size=2000000001", "Arg value too large, 2000000001"},
      {"-mode=", "Mandatory argument for this option, mode=FAST|FULL|SAFE"},
      {"-mode=F", "Ambiguous value of option, F"},
      {"-mode=x", "Unknown value of option, x"},
      {"-mode=FAST,", "Arg length too small, "},
      {"-STD_DEFINE=123456789", "Arg length too large, 123456789"},
  };
  for (const Case &c : bad) {
    CommandTable u = make_table();
    Outcome b = decode(u, {"a", c.arg});
    EXPECT_EQ(b.err.rfind(std::string("ProbaX Command analysis : ") + c.err + "\nUsage", 0), 0u) << b.err;
  }
}

TEST(Decoder, PositionalValuesDefaultsAndCombinationRules) {
  CommandTable t = make_table();
  Outcome r = decode(t, {"a", "b,c", "d"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_STREQ(parameter_value(1, 1)->text, "a");
  EXPECT_STREQ(parameter_value(2, 1)->text, "b");
  EXPECT_STREQ(parameter_value(2, 3)->text, "d");  // the last parameter takes the rest
  EXPECT_EQ(parameter_value(2, 4), nullptr);
  EXPECT_EQ(parameter_value(3, 1), nullptr);
  EXPECT_EQ(option_state("VERBOSE"), -1);  // negatable, not given
  EXPECT_EQ(option_state("TRACE"), 7);     // default on
  EXPECT_EQ(option_state("MODE"), 0);
  EXPECT_STREQ(option_value(2, 1)->text, "SAFE");  // default keyword

  r = decode(t, {"a\\,b"});
  EXPECT_EQ(r.rc, 0);
  EXPECT_STREQ(parameter_value(1, 1)->text, "a,b");
  r = decode(t, {"a,b"});
  EXPECT_EQ(r.err.rfind("ProbaX Command analysis : List forbidden invalid argument, a,b\nUsage", 0), 0u);
  r = decode(t, {"toolongname"});
  EXPECT_EQ(r.err.rfind("ProbaX Command analysis : Arg length too large, toolongname\n", 0), 0u);

  r = decode(t, {"a", "-dry", "-mode=full"});
  EXPECT_EQ(r.err, std::string("ProbaX Command analysis : Illegal combination of command elements, DRY and FULL") +
                       kUsageShown + "\n");
  r = decode(t, {"a", "-dry"});
  EXPECT_EQ(r.rc, 0);

  CommandTable none;
  none.params.push_back(t.params[0]);
  r = decode(none, {"a", "b"});
  EXPECT_EQ(r.err, "ProbaX Command analysis : Too many arguments invalid argument, b\n");
}

TEST(Decoder, SlashIsAnOptionOnlyBeforeAnOptionName) {
  CommandTable t = make_table();
  t.params[0].maximum = t.params[1].maximum = 255;
  Outcome r = decode(t, {"/home/u/t.c", "/verbose", "/tmp/t.ptu", "/usr=x", "/", "/DEFINE=/a/b,c"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_STREQ(parameter_value(1, 1)->text, "/home/u/t.c");
  EXPECT_STREQ(parameter_value(2, 1)->text, "/tmp/t.ptu");
  EXPECT_STREQ(parameter_value(2, 2)->text, "/usr=x");
  EXPECT_STREQ(parameter_value(2, 3)->text, "/");
  EXPECT_EQ(option_state("VERBOSE"), 1);
  EXPECT_STREQ(option_value(5, 1)->text, "/a/b");
  // An abbreviation shared by several options is still an option.
  r = decode(t, {"a", "/d"});
  EXPECT_EQ(r.err.rfind("ProbaX Command analysis : Ambiguous option, d\n", 0), 0u);
}

TEST(Decoder, LookupsByTheDecodersColumn) {
  CommandTable t = make_table();
  ASSERT_EQ(decode(t, {"a", "-VERBEUX"}).rc, 0);
  EXPECT_EQ(option_state("verbose"), 1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(option_state("VERBEUX"), 0);  // French column is not the decoder's
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "ProbaX Command analysis : Internal error, bad option name VERBEUX\n");
  EXPECT_EQ(option_value(0, 1), nullptr);
  EXPECT_EQ(option_value(99, 1), nullptr);
  EXPECT_EQ(option_value(-2, 1), option_value(2, 1));
}

TEST(Expansion, EnvironmentReferences) {
  setenv("D", "/src", 1);
  setenv("E_2", "v", 1);
  unsetenv("UNDEFINED_X");
  struct Case {
    const char *in, *out;
  } cases[] = {
      {"$D/x.c", "/src/x.c"},     {"%D%x.c", "/srcx.c"},     {"$UNDEFINED_X/a", "$UNDEFINED_X/a"},
      {"%UNDEFINED_X%$D", "%UNDEFINED_X%/src"},             {"a%b", "a%b"},
      {"100%", "100%"},           {"$", "$"},                {"$$D", "$/src"},
      {"%%D%", "%%D%"},           {"x$E_2.y", "xv.y"},       {"$D$D", "/src/src"},
  };
  for (const Case &c : cases) {
    std::string out;
    expand_environment(c.in, out);
    EXPECT_EQ(out, c.out) << c.in;
  }
  setenv("LOOP", "$LOOP", 1);  // an inserted value is not scanned again
  std::string out;
  expand_environment("$LOOP", out);
  EXPECT_EQ(out, "$LOOP");
  EXPECT_EQ(expand({"-x=$D", "plain"}), (std::vector<std::string>{"-x=/src", "plain"}));
}

TEST(Expansion, OptionFilesSplitWordsQuotesCommentsAndContinuations) {
  setenv("D", "/src", 1);
  std::string path = write_file("opts.txt",
                                "  # a comment \"with quote\n"
                                "first \"two words\"\t$D/x.c\n"
                                "a\\,b con\\\ntinued cr\\\r\nlf x\\\"y\r\n"
                                "\"multi\nline\" #notcomment\n"
                                "tail\\");
  std::vector<std::string> words = expand({"0", "@" + path, "-OPTION=" + path, "9"});
  std::vector<std::string> once{"first", "two words", "/src/x.c", "a\\,b", "continued", "crlf", "x\\\"y",
                                "multi\nline", "#notcomment", "tail"};
  std::vector<std::string> expected{"0"};
  expected.insert(expected.end(), once.begin(), once.end());
  expected.insert(expected.end(), once.begin(), once.end());
  expected.push_back("9");
  EXPECT_EQ(words, expected);

  // Option files do not nest; an unterminated quote ends with the file.
  std::string nested = write_file("nested.txt", "@" + path + " \"open quote");
  EXPECT_EQ(expand({"@" + nested}), (std::vector<std::string>{"@" + path, "open quote"}));
  EXPECT_TRUE(expand({"@" + write_file("empty.txt", "")}).empty());
  EXPECT_EQ(expand({"@" + write_file("binary.txt", std::string("ab\0cd\0\0\"e\0f\"", 12))}),
            (std::vector<std::string>{"ab", "cd", "ef"}));
  std::string big(1 << 20, 'w');
  std::vector<std::string> huge = expand({"@" + write_file("big.txt", big + " z")});
  ASSERT_EQ(huge.size(), 2u);
  EXPECT_EQ(huge[0], big);
}

TEST(Expansion, UnreadableOptionFileIsComplainedAbout) {
  // /dev/zero never ends: it is refused once it passes the size limit of an
  // option file instead of being read forever.
  for (std::string name : {std::string("/nonexistent/opts"), std::string(ORTEK_BINARY_DIR), std::string(),
                           std::string("/dev/zero"), std::string("\\dev\\zero")}) {
    int rc = 0;
    std::string err;
    expand({"a", "@" + name}, &rc, &err);
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(err, "ProbaX Command analysis : File not found " + name + kUsageShown + "\n");
  }
}

}  // namespace
