#include "sancmd.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

#include "merror.h"

namespace {

std::string text;  // command text of the last decoding

const GeneratorOptions &decode(std::vector<std::string> args) {
  std::vector<char *> argv{const_cast<char *>("ortekstart")};
  for (std::string &a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  reset_reporter();
  decode_generator_command(static_cast<int>(argv.size()) - 1, argv.data(), text);
  EXPECT_EQ(generator_options().command_text, text);
  return generator_options();
}

std::vector<std::string> items(const StrList &list) {
  std::vector<std::string> out;
  for (const StrNode *n = list.head; n; n = n->next) out.push_back(n->text ? n->text : "");
  return out;
}
using Strings = std::vector<std::string>;

std::vector<Strings> lists(const GeneratorOptions &o) {
  return {items(o.integrated_files), items(o.simulated_files), items(o.used_files), items(o.defines)};
}

// What a POSIX shell makes of the text as a command line.
Strings shell_words(const std::string &command) {
  const std::string script = std::string(ORTEK_BINARY_DIR) + "/sancmd_words.sh";
  std::FILE *f = std::fopen(script.c_str(), "w");
  std::fprintf(f, "set -- %s\nfor a in \"$@\"; do printf '%%s\\0' \"$a\"; done\n", command.c_str());
  std::fclose(f);
  std::FILE *p = popen(("sh " + script).c_str(), "r");
  std::string out;
  char block[4096];
  std::size_t got;
  while ((got = std::fread(block, 1, sizeof block, p)) > 0) out.append(block, got);
  pclose(p);
  Strings words;
  std::size_t start = 0;
  for (std::size_t i = 0; i < out.size(); ++i)
    if (out[i] == '\0') {
      words.push_back(out.substr(start, i - start));
      start = i + 1;
    }
  return words;
}

class GeneratorCommand : public testing::Test {
 protected:
  void SetUp() override {
    setenv("QZLTGT", "", 1);  // set and empty: no target, not even the installed one
    testing::FLAGS_gtest_death_test_style = "threadsafe";
  }
};

TEST_F(GeneratorCommand, CanonicalTextOfTheSimpleCommand) {
  const GeneratorOptions &o = decode({"t.c", "t", "-INT=a.c,b.c", "-INSERT"});
  EXPECT_EQ(text, "ortekstart \"t.c\" \"t\" /INTEGRATE=\"a.c,b.c\" /INSERT");
  EXPECT_EQ(o.tested_file, "t.c");
  EXPECT_EQ(o.generated_file, "t");
  EXPECT_EQ(items(o.integrated_files), (Strings{"a.c", "b.c"}));
  EXPECT_EQ(o.insert_requested, 1);
  EXPECT_EQ(o.prepro_only, 0);
  EXPECT_EQ(o.class_name, "ORTEK");
  EXPECT_EQ(o.class_given, 0);
  EXPECT_EQ(o.std_define_file, "");
  EXPECT_EQ(o.kr_mode, 0);
  EXPECT_EQ(o.ansi_mode, 1);
  EXPECT_EQ(warning_count(), 0);
}

TEST_F(GeneratorCommand, NamesOfTheGeneratorTable) {
  const GeneratorOptions &o = decode({"t.c", "t", "-int=a.c", "-DEFINE=X", "-SIMULATE=s\\,t.c"});
  EXPECT_EQ(items(o.integrated_files), (Strings{"a.c"}));
  EXPECT_EQ(items(o.defines), (Strings{"X"}));
  EXPECT_EQ(items(o.simulated_files), (Strings{"s,t.c"}));
  EXPECT_EQ(o.std_define_file, "");
}

TEST_F(GeneratorCommand, EveryOptionReachesItsFieldInCommandOrder) {
  const std::string dir = ORTEK_TEST_DATA;
  const GeneratorOptions &o = decode(
      {"/src/t.c", "/out/t.ptu", "-lang=c", "-SIM=s1.c", "-UTILISE=u.h", "-incl=/no/such/dir," + dir,
       "-DEFINE=A=1,B", "-DEFINE_STD=std.def", "-ADALINK=l.ali", "-NOPATH", "-TABSYMB=t.smb", "-PREPRO",
       "-RESTRICTION=noexcep,NOI,an,sepa", "-STANDARD=std.ads", "-CLASSE=Tst", "-STUDIO_LOG=log.txt", "-XT=3,0",
       "-METRICS=m", "-ONE_LEVEL_METRICS", "-RESTRICT_DIR_METRICS=r", "-SIMULATE=s2.c"});
  EXPECT_EQ(warning_count(), 1);  // the missing include directory
  EXPECT_EQ(items(o.simulated_files), (Strings{"s1.c", "s2.c"}));
  EXPECT_EQ(items(o.used_files), (Strings{"u.h"}));
  EXPECT_EQ(items(o.include_dirs), (Strings{dir}));
  EXPECT_EQ(items(o.defines), (Strings{"A=1", "B"}));
  EXPECT_EQ(o.std_define_file, "std.def");
  EXPECT_EQ(o.ada_link_file, "l.ali");
  EXPECT_EQ(o.symbtab_file, "t.smb");
  EXPECT_EQ(o.standard_file, "std.ads");
  EXPECT_EQ(o.class_name, "Tst");
  EXPECT_EQ(o.class_given, 1);
  EXPECT_EQ(o.studio_log_file, "log.txt");
  EXPECT_EQ(o.prepro_only, 1);
  EXPECT_EQ(o.no_exceptions, 1);
  EXPECT_EQ(o.no_image, 1);
  EXPECT_EQ(o.ansi_mode, 1);
  EXPECT_EQ(text, "ortekstart \"/src/t.c\" \"/out/t.ptu\" /SIMULATE=\"s1.c,s2.c\" /USE=\"u.h\" /INCL=\"/no/such/dir," +
                      dir +
                      "\" /DEFINE=\"A=1,B\" /STD_DEFINE=\"std.def\" /SYMBTAB=t.smb /ADALINK=l.ali /STANDARD=std.ads "
                      "/SERVICE= /PREPRO_ONLY /CLASS=Tst /RESTRICTION=\"NOEXCEP,NOIMAGE,ANSI,SEPAR\"");
}

TEST_F(GeneratorCommand, RefusedOptionsAreCountedWarnings) {
  const GeneratorOptions &o = decode({"t.c", "t", "-SERVICE=f", "-restriction=kr"});
  EXPECT_EQ(warning_count(), 2);
  EXPECT_EQ(o.kr_mode, 0);
  EXPECT_EQ(o.ansi_mode, 1);
  EXPECT_EQ(text, "ortekstart \"t.c\" \"t\" /RESTRICTION=\"KR\"");
}

TEST_F(GeneratorCommand, ListsParenthesesDefaultsAndEmptyValues) {
  setenv("QZLTGT", "/opt/tgt", 1);
  const GeneratorOptions &o = decode({"t.c", "t", "-INTEGRATE=(a.c,b.c)", "-INT=c.c", "-DEFINE=(,X)", "-DEFINE=Y,)"});
  EXPECT_EQ(items(o.integrated_files), (Strings{"a.c", "b.c", "c.c"}));
  // Empty values must not end the definition array early.
  EXPECT_EQ(items(o.defines), (Strings{"X", "Y"}));
  EXPECT_EQ(o.std_define_file, "/opt/tgt/ana/qzus_c.def");
  EXPECT_EQ(text,
            "ortekstart \"t.c\" \"t\" /INTEGRATE=\"a.c,b.c,c.c\" /DEFINE=\"(,X,Y,)\" "
            "/STD_DEFINE=\"/opt/tgt/ana/qzus_c.def\"");
  setenv("QZLTGT", std::string(1000, 'q').c_str(), 1);
  EXPECT_EQ(decode({"t.c", "t"}).std_define_file, "");  // over the file-name limit: reported
  EXPECT_EQ(warning_count(), 1);
}

// DEPFILE is a table option like the others: abbreviated, in the French
// column, echoed in the command text so that the header decodes back.
TEST_F(GeneratorCommand, DependencyFileOptionInEveryColumn) {
  EXPECT_EQ(decode({"t.c", "t", "-DEP=t.d"}).dependency_file, "t.d");
  EXPECT_EQ(text, "ortekstart \"t.c\" \"t\" /DEPFILE=t.d");
  EXPECT_EQ(decode({"t.c", "t", "-fichier_dep=a b.d"}).dependency_file, "a b.d");
  EXPECT_EQ(text, "ortekstart \"t.c\" \"t\" /DEPFILE=\"a b.d\"");
  EXPECT_EQ(decode({"t.c", "t"}).dependency_file, "");
}

// Without QZLTGT the target installed with the tool is used when it exists;
// it stays out of the command text, which must not name the install folder.
TEST_F(GeneratorCommand, InstalledTargetIsTheDefaultWithoutQzltgt) {
  const char *saved = getenv("PROBAXDIR");
  const std::string keep = saved ? saved : "";
  char pattern[] = "/tmp/sancmd_probax_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string install = pattern;
  setenv("PROBAXDIR", install.c_str(), 1);
  unsetenv("QZLTGT");
  EXPECT_EQ(decode({"t.c", "t"}).std_define_file, "");  // no target folder installed
  ASSERT_EQ(mkdir((install + "/target").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((install + "/target/gcc").c_str(), 0755), 0);
  EXPECT_EQ(decode({"t.c", "t"}).std_define_file, install + "/target/gcc/ana/qzus_c.def");
  EXPECT_EQ(text, "ortekstart \"t.c\" \"t\"");
  EXPECT_EQ(decode({"t.cpp", "t"}).std_define_file, install + "/target/gcc/ana/qzus_cpp.def");
  setenv("QZLTGT", "", 1);
  EXPECT_EQ(decode({"t.c", "t"}).std_define_file, "");
  setenv("QZLTGT", "/opt/tgt", 1);
  EXPECT_EQ(decode({"t.c", "t"}).std_define_file, "/opt/tgt/ana/qzus_c.def");
  rmdir((install + "/target/gcc").c_str());
  rmdir((install + "/target").c_str());
  rmdir(install.c_str());
  setenv("PROBAXDIR", keep.c_str(), 1);
}

TEST_F(GeneratorCommand, TargetDefinesFileFollowsTheTestedFileSuffix) {
  setenv("QZLTGT", "/opt/tgt", 1);
  for (const char *name : {"w.cc", "w.cpp", "w.cxx", "w.C", "w.c++", "w.hpp", "w.hh", "w.hxx", "d.x/w.CPP",
                           "w"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(decode({name, "t"}).std_define_file, "/opt/tgt/ana/qzus_cpp.def");
  }
  for (const char *name : {"w.c", "w.h", "w.cp.c", "d.cpp/w.c", "w.inc"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(decode({name, "t"}).std_define_file, "/opt/tgt/ana/qzus_c.def");
  }
  // A given file wins whatever the suffix; the default shows in the command text.
  EXPECT_EQ(decode({"w.cpp", "t", "-STD_DEFINE=my.def"}).std_define_file, "my.def");
  decode({"w.cpp", "t"});
  EXPECT_EQ(text, "ortekstart \"w.cpp\" \"t\" /STD_DEFINE=\"/opt/tgt/ana/qzus_cpp.def\"");
  setenv("ORTEKCPP", "c", 1);  // the source suffix a bare name is completed with
  EXPECT_EQ(decode({"w", "t"}).std_define_file, "/opt/tgt/ana/qzus_c.def");
  unsetenv("ORTEKCPP");
}

TEST_F(GeneratorCommand, CommandTextDecodesToTheSameOptionsInAShell) {
  setenv("D", "/src", 1);
  const Strings commands[] = {
      {"/home/u/src/t.c", "/tmp/t.ptu", "/INTEGRATE=/x/a.c,b.c", "/INSERT", "/DEFINE=N=\"q\"", "/CLASS=A B"},
      {"t.c", "t", "-INT=a\\,b.c", "-SYMBTAB=C:\\x.smb", "-DEFINE=$D,\\$D,`x`,back\\", "-RESTRICTI=sep,kr"},
      {"my file.c", "out", "-SIMULATE=(s.c)", "-USE=u$.h", "-ADALINK=a\"b", "-PREPRO_ONLY", "-STD=d.def"},
  };
  for (const Strings &args : commands) {
    GeneratorOptions first = decode(args);
    const std::vector<Strings> first_lists = lists(first);
    // The copy keeps the single values only: the lists stay with the record,
    // and the next decoding releases them.
    first.integrated_files = first.simulated_files = first.used_files = first.include_dirs = first.defines =
        StrList{};
    const std::string first_text = text;
    Strings words = shell_words(first_text);
    ASSERT_FALSE(words.empty()) << first_text;
    EXPECT_EQ(words[0], "ortekstart");
    const GeneratorOptions &second = decode(Strings(words.begin() + 1, words.end()));
    EXPECT_EQ(text, first_text);
    EXPECT_EQ(second.tested_file, first.tested_file);
    EXPECT_EQ(second.generated_file, first.generated_file);
    EXPECT_EQ(lists(second), first_lists);
    EXPECT_EQ(second.symbtab_file, first.symbtab_file);
    EXPECT_EQ(second.ada_link_file, first.ada_link_file);
    EXPECT_EQ(second.class_name, first.class_name);
    EXPECT_EQ(second.std_define_file, first.std_define_file);
    EXPECT_EQ(second.insert_requested, first.insert_requested);
    EXPECT_EQ(second.prepro_only, first.prepro_only);
  }
  EXPECT_EQ(items(decode(commands[1]).defines), (Strings{"/src", "\\/src", "`x`", "back\\"}));
}

TEST_F(GeneratorCommand, LineEndsAndLengthLimitOfTheCommandText) {
  decode({"t.c", "t", "-CLASS=a\r\nb"});
  EXPECT_EQ(text, "ortekstart \"t.c\" \"t\" /CLASS=\"a  b\"");
  Strings args{"t.c", "t"};
  for (int i = 0; i < 10000; ++i) args.push_back("-INT=" + std::string(250, 'f') + std::to_string(i % 10));
  auto start = std::chrono::steady_clock::now();
  const GeneratorOptions &o = decode(args);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(items(o.integrated_files).size(), 10000u);
  EXPECT_EQ(text.size(), 61440u);
  EXPECT_EQ(warning_count(), 1);
}

using GeneratorCommandDeath = GeneratorCommand;

TEST_F(GeneratorCommandDeath, ComplaintsEndWithTheFatalWrongCommandLine) {
  const std::string usage_head = "\nUsage ortekstart:\n\t<tested_file>\n\t<generated_file>\n\t\\[-LANGUAGE";
  struct Case {
    Strings args;
    std::string complaint;
  } cases[] = {
      {{}, "Argument missing, tested_file"},
      {{"t.c"}, "Argument missing, generated_file"},
      {{"t.c", "t", "u"}, "Too many arguments invalid argument, u"},
      {{"t.c", "t", "-in=x"}, "Ambiguous option, in=x"},
      {{"t.c", "t", "-INSERT=1"}, "No argument for this option, INSERT=1"},
      {{"t.c", "t", "-LANGUAGE"}, "Mandatory argument for this option, LANGUAGE"},
      {{"t.c", "t", "-CLASS=a", "-CLASS=b"}, "An option can't be used twice, CLASS=b"},
      {{"t.c", "t", "-RESTRICTION=no"}, "Ambiguous value of option, no"},
      {{"t.c", "t", "-XT=256"}, "Arg value too large, 256"},
      {{"t.c", "t", "-XT=x,-1"}, "Arg value too small, -1"},
      {{"t.c", std::string(256, 'g')}, "Arg length too large, g+"},
      {{"@/no/such/file"}, "File not found /no/such/file"},
  };
  for (const Case &c : cases) {
    EXPECT_EXIT(decode(c.args), testing::ExitedWithCode(7),
                "^ProbaX Command analysis : " + c.complaint + usage_head + ".*\n\n.*CMDFATALE")
        << c.complaint;
  }
}

}  // namespace
