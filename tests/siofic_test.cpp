// The script writer: names, header, backup and the safety of the previous
// script when a run fails.
#include "siofic.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "merror.h"
#include "mstrin.h"
#include "sliste.h"
#include "sancmd.h"
#include "ssydat.h"
#include "gen_fixture.h"

namespace fs = std::filesystem;

namespace {

using gen_fixture::read_file;
using gen_fixture::write_file;

// Entries of the working folder, sorted: a stray temporary shows here.
std::vector<std::string> folder_entries() {
  std::vector<std::string> names;
  for (const auto &e : fs::directory_iterator(".")) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class ScriptWriterTest : public gen_fixture::FolderTest {
 protected:
  void SetUp() override {
    gen_fixture::register_messages(false);
    gen_fixture::clear_suffix_variables(false);
    ASSERT_NO_FATAL_FAILURE(enter_folder("siofic_test"));
    reset_reporter();
    reset_script_writer();
    gen_fixture::reset_options();
    write_file("t.c", "int g;\n");
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ignored);
    leave_folder();
  }

  // One whole run of the writer: open, one body line, close.
  static void generate(const std::string &command, const std::string &body = "BODY") {
    script_open(command);
    write_script_line(body);
    ScriptWriter &w = script_writer();
    script_close(w.path, w.stream, 0);
  }
};

TEST(BackupName, CutsTheSuffixOfTheFileNameOnly) {
  const struct {
    const char *path, *backup;
  } cases[] = {
      {"out/test.ptu", "out/test.bck"}, {".\\t.ptu", ".\\t.bck"},   {"t", "t.bck"},
      {"out.d\\t", "out.d\\t.bck"},     {"out.d/t", "out.d/t.bck"}, {"a.tar.ptu", "a.tar.bck"},
      {"t.bck", "t.bck"},               {"dir.x\\.ptu", "dir.x\\.bck"},
  };
  for (const auto &c : cases) EXPECT_EQ(backup_name(c.path), c.backup) << c.path;
}

TEST(DateText, HasTheCtimeFormWithoutLineEnd) {
  std::string date;
  date_text(date);
  EXPECT_TRUE(std::regex_match(date, std::regex("[A-Z][a-z]{2} [A-Z][a-z]{2} [ 1-3][0-9] "
                                                "[0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}")))
      << date;
}

TEST(SubstChar, ReplacesEveryOccurrence) {
  std::string s = "my.unit-a.c";
  subst_char(s, '.', '_');
  EXPECT_EQ(s, "my_unit-a_c");
}

TEST_F(ScriptWriterTest, HeaderHasElevenLinesAsTabled) {
  strlist_append(intern_string("a.c"), generator_options().integrated_files);
  strlist_append(intern_string("sub/b"), generator_options().integrated_files);
  generate("ortekstart \"t.c\" \"t.ptu\"");
  std::string text = read_file("t.ptu");
  const std::string stars = "--" + std::string(80, '*');
  const std::string box = "--*" + std::string(78, ' ') + "*";
  std::string date = text.substr(text.find("--%d DATE : ") + 12);
  date = date.substr(0, date.find('\n'));
  const std::string expected = stars + "\n" +
                               "-- tool : C Source Code Parser VERSION 8.2.0.1.070.020\n" + box + "\n" +
                               "--%c ortekstart \"t.c\" \"t.ptu\"\n" + box + "\n" +
                               "-- File : ./t.ptu\n" +
                               "--%f \"./t.c\" \"a.c\" \"sub/b\" \n" + box + "\n" +
                               "--%d DATE : " + date + "\n" + box + "\n" + stars + "\n" + "BODY\n";
  EXPECT_EQ(text, expected);
  EXPECT_EQ(date.size(), 24u);
  EXPECT_EQ(folder_entries(), (std::vector<std::string>{"t.c", "t.ptu"}));

  // With INSERT and no integrated file the "%f" line keeps only its blank.
  reset_script_writer();
  generator_options().insert_requested = 1;
  strlist_free(generator_options().integrated_files);
  generate("x");
  text = read_file("t.ptu");
  EXPECT_NE(text.find("\n--%f \n"), std::string::npos);
}

TEST_F(ScriptWriterTest, LinesAndPiecesKeepTheirBytesWhateverTheirLength) {
  // Lines longer than the waiting block, empty pieces and lines, and many
  // short lines across block ends: the script holds them as written.
  script_open("x");
  std::string body;
  const std::string long_line(200000, 'L');
  write_script_line(long_line);
  body += long_line + "\n";
  write_script_pieces({"", "a", "", long_line, "b", ""});
  body += "a" + long_line + "b\n";
  write_script_pieces({});
  body += "\n";
  write_script_line("");
  body += "\n";
  for (int i = 0; i < 30000; ++i) {
    const std::string n = std::to_string(i);
    write_script_pieces({"    ", n, ",\t\t", std::string(static_cast<std::size_t>(i % 97), 'x')});
    body += "    " + n + ",\t\t" + std::string(static_cast<std::size_t>(i % 97), 'x') + "\n";
    if (i % 1000 == 0) {
      write_script_line(long_line.substr(0, static_cast<std::size_t>(i)));
      body += long_line.substr(0, static_cast<std::size_t>(i)) + "\n";
    }
  }
  ScriptWriter &w = script_writer();
  script_close(w.path, w.stream, 0);
  const std::string text = read_file("t.ptu");
  ASSERT_GE(text.size(), body.size());
  EXPECT_EQ(text.substr(text.size() - body.size()), body);
}

// Pieces of every short length, of characters that all differ from their
// neighbours, at every place of the waiting block.
TEST_F(ScriptWriterTest, ShortPiecesKeepEveryCharacterInPlace) {
  script_open("x");
  std::string body;
  const std::string alphabet = "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  for (int i = 0; i < 20000; ++i) {
    const std::size_t length = static_cast<std::size_t>(i % 41);
    const std::size_t start = static_cast<std::size_t>(i % 13);
    const std::string piece = alphabet.substr(start, length);
    const std::string other = alphabet.substr(static_cast<std::size_t>(i % 7), static_cast<std::size_t>(i % 19));
    write_script_pieces({piece, other, piece});
    body += piece + other + piece + "\n";
  }
  ScriptWriter &w = script_writer();
  script_close(w.path, w.stream, 0);
  const std::string text = read_file("t.ptu");
  ASSERT_GE(text.size(), body.size());
  EXPECT_EQ(text.substr(text.size() - body.size()), body);
}

TEST_F(ScriptWriterTest, SecondRunKeepsTheFirstScriptAsBackup) {
  write_file("t.bck", "older backup\n");
  generate("first");
  const std::string first = read_file("t.ptu");
  testing::internal::CaptureStderr();
  set_report_position(".\\t.c", 3);  // left by an analysis
  generate("second");
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(read_file("t.bck"), first);
  EXPECT_NE(read_file("t.ptu").find("--%c second\n"), std::string::npos);
  EXPECT_EQ(err, "ProbaX-I-FICRENAME,  The file 'generated_file' has been renamed in 'generated_file'_bck: ./t.ptu\n");
  EXPECT_EQ(folder_entries(), (std::vector<std::string>{"t.bck", "t.c", "t.ptu"}));
}

TEST_F(ScriptWriterTest, FailedRunLeavesScriptAndBackupAsTheyWere) {
  generate("first");
  generate("second");
  const std::string script = read_file("t.ptu"), backup = read_file("t.bck");
  // A fatal report in the middle of the script (any emitter's).
  EXPECT_EXIT(
      {
        script_open("third");
        write_script_line("half");
        report_fatal(MSG_IMPECRFIC, ".\\t.ptu");
      },
      testing::ExitedWithCode(7), "IMPECRFIC");
  EXPECT_EQ(read_file("t.ptu"), script);
  EXPECT_EQ(read_file("t.bck"), backup);
  EXPECT_EQ(folder_entries(), (std::vector<std::string>{"t.bck", "t.c", "t.ptu"}));
}

TEST_F(ScriptWriterTest, BadTargetsAreFatalAndDamageNothing) {
  write_file("t.ptu", "old script\n");
  write_file("t.bck", "old backup\n");
  auto unchanged = [&] {
    EXPECT_EQ(read_file("t.ptu"), "old script\n");
    EXPECT_EQ(read_file("t.bck"), "old backup\n");
  };

  // Missing directory for the script.
  generator_options().generated_file = "nodir/t.ptu";
  EXPECT_EXIT(generate("x"), testing::ExitedWithCode(7), "IMPOUVFIC.*Cannot open the file nodir/t.ptu");

  // A script name that is a directory.
  fs::create_directory("d.ptu");
  generator_options().generated_file = "d.ptu";
  EXPECT_EXIT(generate("x"), testing::ExitedWithCode(7), "IMPOUVFIC.*d.ptu");
  EXPECT_TRUE(fs::is_directory("d.ptu"));
  fs::remove("d.ptu");

  // An old backup marked read-only is not replaced.
  generator_options().generated_file = "t.ptu";
  fs::permissions("t.bck", fs::perms::owner_read | fs::perms::group_read);
  EXPECT_EXIT(generate("x"), testing::ExitedWithCode(7), "IMPFERFIC.*t.bck");
  unchanged();
  fs::permissions("t.bck", fs::perms::owner_read | fs::perms::owner_write);

  // A studio log that cannot be opened.
  fs::create_directory("log");
  generator_options().studio_log_file = "log";
  EXPECT_EXIT(generate("x"), testing::ExitedWithCode(7), "IMPOUVFIC.*Cannot open the file log\n");
  unchanged();
  generator_options().studio_log_file.clear();
  fs::remove("log");

  // A full disk: the pending lines cannot be written when the script closes.
  EXPECT_EXIT(
      {
        script_open("x");
        ScriptWriter &w = script_writer();
        std::fclose(w.stream);
        w.stream = std::fopen("/dev/full", "w");
        write_script_line("line");
        script_close(w.path, w.stream, 0);
      },
      testing::ExitedWithCode(7), "IMPECRFIC.*Full disk space ./t.ptu");
  unchanged();
  EXPECT_EQ(folder_entries(), (std::vector<std::string>{"t.bck", "t.c", "t.ptu"}));
  // Lines waiting for the stream go to it long before the script closes:
  // a full disk stops a long run there.
  EXPECT_EXIT(
      {
        script_open("x");
        ScriptWriter &w = script_writer();
        std::fclose(w.stream);
        w.stream = std::fopen("/dev/full", "w");
        for (int i = 0; i < 200000; ++i) {
          write_script_line("a line");
          write_script_pieces({"a line ", "in ", "pieces"});
        }
        std::exit(0);
      },
      testing::ExitedWithCode(7), "IMPECRFIC.*Full disk space ./t.ptu");
  unchanged();
  EXPECT_EQ(folder_entries(), (std::vector<std::string>{"t.bck", "t.c", "t.ptu"}));

  // An unwritable directory (root writes anywhere, so only for other users).
  if (geteuid() != 0) {
    fs::create_directory("ro");
    fs::permissions("ro", fs::perms::owner_read | fs::perms::owner_exec);
    generator_options().generated_file = "ro/t.ptu";
    EXPECT_EXIT(generate("x"), testing::ExitedWithCode(7), "IMPOUVFIC");
  }
}

TEST(ScriptWriteLine, FullDiskIsFatalNamingTheScript) {
  register_bibli_messages();
  EXPECT_EXIT(
      {
        std::FILE *f = std::fopen("/dev/full", "w");
        for (int i = 0; i < 100000; ++i) script_write_line(".\\t.ptu", f, "a line of the script");
      },
      testing::ExitedWithCode(7), "ProbaX-F-IMPECRFIC,  Full disk space .\\\\t.ptu");
}

TEST_F(ScriptWriterTest, StudioLogRecordsPtuScriptsOnly) {
  write_file("studio.log", "PTU earlier\n");
  generator_options().studio_log_file = "studio.log";
  generate("x");
  EXPECT_EQ(read_file("studio.log"), "PTU earlier\nPTU ./t.ptu\n");

  reset_script_writer();
  generator_options().generated_file = "u.PTU";
  generate("x");
  EXPECT_EQ(read_file("studio.log"), "PTU earlier\nPTU ./t.ptu\n");

  // Other files opened for writing are not scripts.
  std::FILE *f = nullptr;
  io_open_file("out.smb", &f, 1);
  script_close("out.smb", f, 0);
  EXPECT_EQ(read_file("studio.log"), "PTU earlier\nPTU ./t.ptu\n");
}

TEST_F(ScriptWriterTest, ScriptNamesAreCompletedAndNeverOverwriteInputs) {
  generator_options().generated_file = "t";
  setenv("ORTEKPTU", "xyzw", 1);
  generate("x");
  unsetenv("ORTEKPTU");
  EXPECT_TRUE(fs::exists("t.xyz"));
  EXPECT_EQ(script_writer().path, "./t.xyz");

  // The generated name equal to the tested file, spelt differently.
  reset_script_writer();
  generator_options().tested_file = "t.c";
  generator_options().generated_file = "./t.c";
  EXPECT_EXIT(generate("x"), testing::ExitedWithCode(7), "CMDFATALE");
  EXPECT_EQ(read_file("t.c"), "int g;\n");

  // ... or to a used header once completed with its suffix.
  write_file("u.h", "int u;\n");
  generator_options().generated_file = "u.h";
  strlist_append(intern_string("u"), generator_options().used_files);
  EXPECT_EXIT(generate("x"), testing::ExitedWithCode(7), "CMDFATALE");
  EXPECT_EQ(read_file("u.h"), "int u;\n");

  // ... or to the standard defines file, or used as the studio log.
  strlist_free(generator_options().used_files);
  write_file("std.def", "#define X 1\n");
  generator_options().std_define_file = "std";
  generator_options().generated_file = "std.def";
  EXPECT_EXIT(generate("x"), testing::ExitedWithCode(7), "CMDFATALE");
  generator_options().std_define_file.clear();
  generator_options().generated_file = "t.xyz";
  generator_options().studio_log_file = "t.xyz";
  const std::string script = read_file("t.xyz");
  EXPECT_EXIT(generate("x"), testing::ExitedWithCode(7), "CMDFATALE");
  EXPECT_EQ(read_file("t.xyz"), script);
  EXPECT_EQ(read_file("std.def"), "#define X 1\n");
  EXPECT_EQ(folder_entries(), (std::vector<std::string>{"std.def", "t.c", "t.xyz", "u.h"}));
}

TEST_F(ScriptWriterTest, BackupSpecialCases) {
  // A script named like its own backup replaces itself without a backup.
  write_file("t.bck", "old\n");
  generator_options().generated_file = "t.bck";
  testing::internal::CaptureStderr();
  generate("x");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_NE(read_file("t.bck").find("--%c x\n"), std::string::npos);
  EXPECT_EQ(folder_entries(), (std::vector<std::string>{"t.bck", "t.c"}));

  // An existing script that cannot be read is backed up all the same.
  reset_script_writer();
  fs::remove("t.bck");
  write_file("t.ptu", "unreadable\n");
  fs::permissions("t.ptu", fs::perms::none);
  generator_options().generated_file = "t.ptu";
  testing::internal::CaptureStderr();
  generate("x");
  EXPECT_NE(testing::internal::GetCapturedStderr().find("FICRENAME"), std::string::npos);
  fs::permissions("t.bck", fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(read_file("t.bck"), "unreadable\n");
}

TEST_F(ScriptWriterTest, RemovedScriptLeavesNothingAndOpenModes) {
  write_file("t.ptu", "old\n");
  script_open("x");
  ScriptWriter &w = script_writer();
  write_script_line("line");
  script_close(w.path, w.stream, 1);
  EXPECT_EQ(read_file("t.ptu"), "old\n");
  EXPECT_EQ(folder_entries(), (std::vector<std::string>{"t.c", "t.ptu"}));

  std::FILE *f = nullptr;
  EXPECT_EQ(io_open_file("t.c", &f, 0), 1);
  script_close("t.c", f, 0);
  EXPECT_EQ(io_open_file("new.txt", &f, 2), 1);
  script_close("new.txt", f, 1);  // an ordinary file is deleted on request
  EXPECT_FALSE(fs::exists("new.txt"));
  EXPECT_EXIT(io_open_file("missing.c", &f, 0), testing::ExitedWithCode(7), "IMPOUVFIC.*missing.c");
  EXPECT_EXIT(io_open_file("t.c", &f, 3), testing::ExitedWithCode(9), "");
}

}  // namespace
