// Diagnostic lines, counting, the summary and every exit status.
#include "merror.h"

#include <gtest/gtest.h>

#include <QString>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "i18n_anaccpp_msg.h"
#include "i18n_bibli_msg.h"
#include "i18n_modbas_msg.h"
#include "i18n_squelet_msg.h"

namespace {

class Reporter : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    register_squelet_messages();
    register_modbas_messages();
    register_bibli_messages();
    register_ana_c_cpp_messages();
  }
  void SetUp() override { reset_reporter(); }
  void TearDown() override { reset_reporter(); }

  template <typename F>
  static std::string stderr_of(F action) {
    ::testing::internal::CaptureStderr();
    action();
    return ::testing::internal::GetCapturedStderr();
  }
};

TEST_F(Reporter, LineFormatAndPositionPrefix) {
  EXPECT_EQ(stderr_of([] { report_error(MSG_OVERFLOW, "a.c"); }),
            "ProbaX-E-OVERFLOW,  Integer operation overflow a.c\n");
  EXPECT_EQ(error_count(), 1);

  // The position of report_at_position stays for later reports.
  EXPECT_EQ(stderr_of([] { report_at_position(MSG_UNTERCOMM, "", "x.c", 12); }),
            "ProbaX-W-UNTERCOMM,  [x.c:12] unterminated comment \n");
  EXPECT_EQ(stderr_of([] { report_error(MSG_OVERFLOW, "b.c"); }),
            "ProbaX-E-OVERFLOW,  [x.c:12] Integer operation overflow b.c\n");
  EXPECT_EQ(stderr_of([] { set_report_position("x.c", 0); report_info(MSG_FINEXECUT, "ok"); }),
            "ProbaX-I-FINEXECUT,  [x.c:0] completed ok\n");
  EXPECT_EQ(stderr_of([] { set_report_position("", 7); report_info(MSG_FINEXECUT, "ok"); }),
            "ProbaX-I-FINEXECUT,  [7] completed ok\n");
  EXPECT_EQ(stderr_of([] { set_report_position("", 0); report_info(MSG_FINEXECUT, "ok"); }),
            "ProbaX-I-FINEXECUT,  completed ok\n");
  EXPECT_EQ(error_count(), 2);
  EXPECT_EQ(warning_count(), 1);
  // report() takes a position of its own and leaves the current one alone.
  EXPECT_EQ(stderr_of([] { report(MSG_INCLTYPER, "d", "y.c", 3); report_warning(MSG_INCLTYPER, "e"); }),
            "ProbaX-W-INCLTYPER,  [y.c:3] d is not a directory \n"
            "ProbaX-W-INCLTYPER,  e is not a directory \n");
}

TEST_F(Reporter, SubstitutionIsOnePassOverTheCatalogueText) {
  // Arguments are data: their own "%1"/"%2" and printf directives stay.
  EXPECT_EQ(stderr_of([] { report_error(MSG_OVERFLOW, "a%2.c%s%n"); }),
            "ProbaX-E-OVERFLOW,  Integer operation overflow a%2.c%s%n\n");
  EXPECT_EQ(stderr_of([] { report_at_position(MSG_OVERFLOW, "f", "%1.c", 3); }),
            "ProbaX-E-OVERFLOW,  [%1.c:3] Integer operation overflow f\n");
  // A text with only "%2" gets the second argument; a text with only "%1"
  // drops the second.
  register_message(MSG_ERRPROCES, QString("only %2."));
  register_message(MSG_ERRPROCEW, QString("pos %1."));
  EXPECT_EQ(stderr_of([] { emit_diagnostic(MSG_ERRPROCES, 'I', "first", "second"); }),
            "ProbaX-I-ERRPROCES,  only second.\n");
  EXPECT_EQ(stderr_of([] { emit_diagnostic(MSG_ERRPROCEW, 'I', "first", "second"); }),
            "ProbaX-I-ERRPROCEW,  pos first.\n");
  register_message(MSG_ERRPROCES, QString("%1%2"));
  register_message(MSG_ERRPROCEW, QString("%1%2"));
  // Bytes beyond ASCII in an argument come out unchanged.
  set_report_position("", 0);
  EXPECT_EQ(stderr_of([] { report_error(MSG_OVERFLOW, "\xe9t\xc3\xa9.c"); }),
            "ProbaX-E-OVERFLOW,  Integer operation overflow \xe9t\xc3\xa9.c\n");
}

TEST_F(Reporter, CodeWithoutTextShowsItsArguments) {
  // "WARNERR" (#warning, #error) has no catalogue text by design.
  EXPECT_EQ(stderr_of([] { emit_diagnostic(MSG_WARNERR, 'I', "A", "B"); }), "ProbaX-I-WARNERR,  A B\n");
  EXPECT_EQ(stderr_of([] { report_at_position(MSG_WARNERR, "#error stop", "w.c", 2); }),
            "ProbaX-W-WARNERR,  [w.c:2]  #error stop\n");
  EXPECT_EQ(warning_count(), 1);
}

TEST_F(Reporter, LongPositionNameIsKeptWhole) {
  const std::string name(3000, 'n');
  const std::string line = stderr_of([&] { report_at_position(MSG_OVERFLOW, "a", name, 5); });
  EXPECT_EQ(line, "ProbaX-E-OVERFLOW,  [" + name + ":5] Integer operation overflow a\n");
}

TEST_F(Reporter, SuppressionHidesAndDoesNotCount) {
  EXPECT_FALSE(set_reports_suppressed(true));
  EXPECT_EQ(stderr_of([] { report_error(MSG_OVERFLOW, "a"); report_warning(MSG_INCLTYPER, "a"); }), "");
  EXPECT_TRUE(set_reports_suppressed(false));
  EXPECT_EQ(error_count() + warning_count(), 0);
}

TEST_F(Reporter, OneTextPerCode) {
  EXPECT_EQ(stderr_of([] { emit_diagnostic(MSG_ERRINTERN, 'I', "", "x"); }), "ProbaX-I-ERRINTERN,  Internal error in x\n");
  EXPECT_EQ(stderr_of([] { emit_diagnostic(MSG_NOMESSDEF, 'I', "x", ""); }),
            "ProbaX-I-NOMESSDEF,  Undefined message for code number x\n");
  EXPECT_EQ(stderr_of([] { report_warning(MSG_EXPERRONE, "x"); }), "ProbaX-W-EXPERRONE,  Bad expression x\n");
  EXPECT_EQ(stderr_of([] { report_info(MSG_USAGE_CMD, "x"); }), "ProbaX-I-USAGE_CMD,   x \n");
  EXPECT_EQ(stderr_of([] { report_info(MSG_STARTEXEC, "banner"); }), "ProbaX-I-STARTEXEC,  banner\n");
  // A bad command option is a warning: the run goes on and says so at the end.
  EXPECT_EQ(stderr_of([] { report_warning(MSG_CMDERREUR, "improper -SERVICE option"); }),
            "ProbaX-W-CMDERREUR,  Bad command: improper -SERVICE option\n");
  EXPECT_EQ(warning_count(), 2);
}

// A text read twice in a run (a header of the tested file and of an
// integrated file) tells each fault at a file position once; reports without
// a file are separate occurrences and all count.
TEST_F(Reporter, PositionedDiagnosticsAreToldOncePerRun) {
  auto pass = [] {
    report_at_position(MSG_SYNTAXERR, "3", "own.h", 4);
    report_at_position(MSG_EXPERRONE, "1uu", "own.h", 4);  // another code at the same place
    report(MSG_SYNTAXERR, "3", "own.h", 5);                // another line
    report(MSG_SYNTAXERR, "4", "own.h", 4);                // another text
    report(MSG_UNEXP_EOF, "", "t.c", 9);
    report(MSG_MATCHLINE, " 2", "t.c", 9);
  };
  const std::string first = stderr_of(pass);
  EXPECT_EQ(first.substr(0, first.find('\n', first.find("[own.h:4] Syntax error: 4"))),
            "ProbaX-W-SYNTAXERR,  [own.h:4] Syntax error: 3\n"
            "ProbaX-W-EXPERRONE,  [own.h:4] Bad expression 1uu\n"
            "ProbaX-W-SYNTAXERR,  [own.h:5] Syntax error: 3\n"
            "ProbaX-W-SYNTAXERR,  [own.h:4] Syntax error: 4");
  EXPECT_NE(first.find("ProbaX-E-UNEXP_EOF,  [t.c:9]"), std::string::npos);
  EXPECT_NE(first.find("ProbaX-I-MATCHLINE,  [t.c:9] Matches line"), std::string::npos);
  EXPECT_EQ(stderr_of(pass), "");
  EXPECT_EQ(warning_count(), 4);
  EXPECT_EQ(error_count(), 1);
  // A suppressed report is not told: the same one later is printed.
  set_reports_suppressed(true);
  report(MSG_SYNTAXERR, "x", "s.c", 1);
  set_reports_suppressed(false);
  EXPECT_NE(stderr_of([] { report(MSG_SYNTAXERR, "x", "s.c", 1); }), "");
  // Without a file each report counts.
  set_report_position("", 0);
  stderr_of([] { report_warning(MSG_SYNTAXERR, "y"); report_warning(MSG_SYNTAXERR, "y"); });
  EXPECT_EQ(warning_count(), 7);
  // A new run starts with nothing told.
  reset_reporter();
  EXPECT_NE(stderr_of([] { report(MSG_SYNTAXERR, "3", "own.h", 4); }), "");
}

// Every row has a distinct printed code that names it, and each severity's
// codes sit in their own range.
TEST(MessageTable, RowsMatchTheirCodes) {
  static_assert(MessageCode(MSG_CMDERREUR).severity() == SEV_WARNING, "reported as a warning");
  static_assert(MessageCode(MSG_ERRINTERN).severity() == SEV_INTERNAL, "");
  static_assert(MessageCode(MSG_NBRECURSI).severity() == SEV_FATAL, "");
  static_assert(MessageCode(MSG_UNEXP_EOF).severity() == SEV_ERROR, "");
  static_assert(MessageCode(MSG_MATCHLINE).severity() == SEV_INFO, "");
  EXPECT_STREQ(message_name(MSG_OVERFLOW), "OVERFLOW");
  EXPECT_STREQ(message_name(MSG_UNEXP_EOF), "UNEXP_EOF");
  std::set<std::string> names;
  int previous = SEV_INTERNAL;
  for (int i = 0; i < MESSAGE_CODE_COUNT; ++i) {
    const MessageCode code = MessageCode::at(i);
    EXPECT_TRUE(names.insert(message_name(code)).second) << message_name(code);
    EXPECT_GE(code.severity(), previous) << message_name(code);
    previous = code.severity();
    EXPECT_NE(message_info(code).text, nullptr);
  }
}

using ReporterDeath = Reporter;

TEST_F(ReporterDeath, FatalAndInternalEndTheRunAtOnce) {
  EXPECT_EXIT(report_fatal(MSG_IMPOUVFIC, "a.c"), ::testing::ExitedWithCode(7),
              "^ProbaX-F-IMPOUVFIC,  Cannot open the file a\\.c\n$");
  EXPECT_EXIT(report_internal(MSG_ERRINTFCT, "memory overflow"), ::testing::ExitedWithCode(9),
              "^ProbaX-S-ERRINTFCT,  Internal error in the function memory overflow\n$");
  EXPECT_EXIT(report_at_position(MSG_CMDFATALE, "", "", 0), ::testing::ExitedWithCode(7),
              "^ProbaX-F-CMDFATALE,  Wrong command line \n$");
  EXPECT_EXIT(report(MSG_ERRINTERN, "z", "f.c", 2), ::testing::ExitedWithCode(9),
              "^ProbaX-S-ERRINTERN,  \\[f\\.c:2\\] Internal error in z\n$");
  EXPECT_EXIT(report_fatal_text(MSG_ERRFATALE, "stop"), ::testing::ExitedWithCode(7),
              "Program shutdown: user fatal error stop\n$");
  // Suppression never hides the end of a run.
  EXPECT_EXIT((set_reports_suppressed(true), report_fatal(MSG_IMPOUVFIC, "q")), ::testing::ExitedWithCode(7),
              "IMPOUVFIC");
}

TEST_F(ReporterDeath, SummaryAndStatus) {
  EXPECT_EXIT(finish_run(), ::testing::ExitedWithCode(0),
              "^ProbaX-I-ENDNOENWR,  End of execution with 0 error and 0 warning\n$");
  // The counted lines come first on the error stream, the summary last.
  EXPECT_EXIT(
      {
        for (int i = 0; i < 3; ++i) report_warning(MSG_SYNTAXERR);
        finish_run();
      },
      ::testing::ExitedWithCode(3), "\nProbaX-I-ENDNOEWAR,  End of execution with 3 warning\\(s\\)\n$");
  EXPECT_EXIT(
      {
        report_error(MSG_OVERFLOW);
        finish_run();
      },
      ::testing::ExitedWithCode(5), "\nProbaX-I-ENDERRNWR,  End of execution with 1 error\\(s\\)\n$");
  EXPECT_EXIT(
      {
        report_error(MSG_OVERFLOW);
        report_error(MSG_OVERFLOW);
        report_warning(MSG_SYNTAXERR);
        set_report_position("p.c", 3);  // the summary has no position
        finish_run();
      },
      ::testing::ExitedWithCode(5), "\nProbaX-I-ENDERRWAR,  End of execution with 2 error\\(s\\) and 1 warning\\(s\\)\n$");
}

TEST_F(ReporterDeath, ExitFlushesBothStreams) {
  const std::string out = std::string(::testing::TempDir()) + "merror_test_stdout.txt";
  std::remove(out.c_str());
  EXPECT_EXIT(
      {
        if (!std::freopen(out.c_str(), "w", stdout)) std::abort();
        std::fputs("out-pending", stdout);
        std::fputs("err-pending ", stderr);
        flush_and_exit(4);
      },
      ::testing::ExitedWithCode(4), "^err-pending $");
  std::FILE *f = std::fopen(out.c_str(), "r");
  ASSERT_NE(f, nullptr);
  char buffer[32] = {};
  std::fread(buffer, 1, sizeof buffer - 1, f);
  std::fclose(f);
  std::remove(out.c_str());
  EXPECT_STREQ(buffer, "out-pending");
}

}  // namespace
