// Diagnostic lines, counting, the summary and every exit status.
#include "merror.h"

#include <gtest/gtest.h>

#include <QString>
#include <cstdio>
#include <cstdlib>
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
  EXPECT_EQ(stderr_of([] { report_error("IMPOUVFIC", "a.c"); }),
            "ProbaX-E-IMPOUVFIC,  Cannot open the file a.c\n");
  EXPECT_EQ(error_count(), 1);

  // The position of report_at_position stays for later reports.
  EXPECT_EQ(stderr_of([] { report_at_position(SEV_WARNING, "UNTERCOMM", "", "x.c", 12); }),
            "ProbaX-W-UNTERCOMM,  [x.c:12] unterminated comment \n");
  EXPECT_EQ(stderr_of([] { report_error("IMPOUVFIC", "b.c"); }),
            "ProbaX-E-IMPOUVFIC,  [x.c:12] Cannot open the file b.c\n");
  EXPECT_EQ(stderr_of([] { set_report_position("x.c", 0); report_info("FINEXECUT", "ok"); }),
            "ProbaX-I-FINEXECUT,  [x.c:0] completed ok\n");
  EXPECT_EQ(stderr_of([] { set_report_position("", 7); report_info("FINEXECUT", "ok"); }),
            "ProbaX-I-FINEXECUT,  [7] completed ok\n");
  EXPECT_EQ(stderr_of([] { set_report_position("", 0); report_info("FINEXECUT", "ok"); }),
            "ProbaX-I-FINEXECUT,  completed ok\n");
  EXPECT_EQ(error_count(), 2);
  EXPECT_EQ(warning_count(), 1);
}

TEST_F(Reporter, SubstitutionIsOnePassOverTheCatalogueText) {
  // Arguments are data: their own "%1"/"%2" and printf directives stay.
  EXPECT_EQ(stderr_of([] { report_error("IMPOUVFIC", "a%2.c%s%n"); }),
            "ProbaX-E-IMPOUVFIC,  Cannot open the file a%2.c%s%n\n");
  EXPECT_EQ(stderr_of([] { report_at_position(SEV_ERROR, "IMPOUVFIC", "f", "%1.c", 3); }),
            "ProbaX-E-IMPOUVFIC,  [%1.c:3] Cannot open the file f\n");
  // A text with only "%2" gets the second argument; a text with only "%1"
  // drops the second.
  register_message("ZZONLYTWO", QString("only %2."));
  register_message("ZZONLYONE", QString("pos %1."));
  EXPECT_EQ(stderr_of([] { emit_diagnostic("ZZONLYTWO", 'I', "first", "second"); }),
            "ProbaX-I-ZZONLYTWO,  only second.\n");
  EXPECT_EQ(stderr_of([] { emit_diagnostic("ZZONLYONE", 'I', "first", "second"); }),
            "ProbaX-I-ZZONLYONE,  pos first.\n");
  // Bytes beyond ASCII in an argument come out unchanged.
  set_report_position("", 0);
  EXPECT_EQ(stderr_of([] { report_error("IMPOUVFIC", "\xe9t\xc3\xa9.c"); }),
            "ProbaX-E-IMPOUVFIC,  Cannot open the file \xe9t\xc3\xa9.c\n");
}

TEST_F(Reporter, UnregisteredCodeAndBadSeverity) {
  EXPECT_EQ(stderr_of([] { emit_diagnostic("NOSUCHCODE", 'I', "A", "B"); }), "ProbaX-I-NOSUCHCODE,  A B\n");
  EXPECT_EQ(stderr_of([] { report_info("NOSUCHCODE", "B"); }), "ProbaX-I-NOSUCHCODE,   B\n");
  EXPECT_EQ(stderr_of([] {
              report(5, "IMPOUVFIC", "a", "", 0);
              report(-1, "IMPOUVFIC", "a", "", 0);
              report_at_position(9, "IMPOUVFIC", "a", "y.c", 4);
            }),
            "");
  EXPECT_EQ(error_count() + warning_count(), 0);
  // The position was set all the same.
  EXPECT_EQ(stderr_of([] { report_warning("INCLTYPER", "inc"); }), "ProbaX-W-INCLTYPER,  [y.c:4] inc is not a directory \n");
}

TEST_F(Reporter, LongPositionNameIsKeptWhole) {
  const std::string name(3000, 'n');
  const std::string line = stderr_of([&] { report_at_position(SEV_ERROR, "IMPOUVFIC", "a", name, 5); });
  EXPECT_EQ(line, "ProbaX-E-IMPOUVFIC,  [" + name + ":5] Cannot open the file a\n");
}

TEST_F(Reporter, SuppressionHidesAndDoesNotCount) {
  EXPECT_FALSE(set_reports_suppressed(true));
  EXPECT_EQ(stderr_of([] { report_error("IMPOUVFIC", "a"); report_warning("IMPOUVFIC", "a"); }), "");
  EXPECT_TRUE(set_reports_suppressed(false));
  EXPECT_EQ(error_count() + warning_count(), 0);
}

TEST_F(Reporter, RegistrationOrderDecidesSharedTexts) {
  EXPECT_EQ(stderr_of([] { report_info("ERRINTERN", "x"); }), "ProbaX-I-ERRINTERN,  Internal error in x\n");
  EXPECT_EQ(stderr_of([] { report_info("NOMESSDEF", "x"); }), "ProbaX-I-NOMESSDEF,  Undefined message for code number \n");
  EXPECT_EQ(stderr_of([] { report_info("EXPERRONE", "x"); }), "ProbaX-I-EXPERRONE,  Bad expression x\n");
  EXPECT_EQ(stderr_of([] { report_info("USAGE_CMD", "x"); }), "ProbaX-I-USAGE_CMD,   x \n");
  EXPECT_EQ(stderr_of([] { report_info("STARTEXEC", "banner"); }), "ProbaX-I-STARTEXEC,  banner\n");
}

using ReporterDeath = Reporter;

TEST_F(ReporterDeath, FatalAndInternalEndTheRunAtOnce) {
  EXPECT_EXIT(report_fatal("IMPOUVFIC", "a.c"), ::testing::ExitedWithCode(7),
              "^ProbaX-F-IMPOUVFIC,  Cannot open the file a\\.c\n$");
  EXPECT_EXIT(report_internal("ERRINTFCT", "memory overflow"), ::testing::ExitedWithCode(9),
              "^ProbaX-S-ERRINTFCT,  Internal error in the function memory overflow\n$");
  EXPECT_EXIT(report_at_position(SEV_FATAL, "CMDFATALE", "", "", 0), ::testing::ExitedWithCode(7),
              "^ProbaX-F-CMDFATALE,  Wrong command line \n$");
  EXPECT_EXIT(report(SEV_INTERNAL, "ERRINTERN", "z", "f.c", 2), ::testing::ExitedWithCode(9),
              "^ProbaX-S-ERRINTERN,  \\[f\\.c:2\\] Internal error in z\n$");
  EXPECT_EXIT(report_fatal_text("ERRFATALE", "stop"), ::testing::ExitedWithCode(7),
              "Program shutdown: user fatal error stop\n$");
  // Suppression never hides the end of a run.
  EXPECT_EXIT((set_reports_suppressed(true), report_fatal("IMPOUVFIC", "q")), ::testing::ExitedWithCode(7),
              "IMPOUVFIC");
}

TEST_F(ReporterDeath, SummaryAndStatus) {
  EXPECT_EXIT(finish_run(), ::testing::ExitedWithCode(0),
              "^ProbaX-I-ENDNOENWR,  End of execution with 0 error and 0 warning\n$");
  // The counted lines come first on the error stream, the summary last.
  EXPECT_EXIT(
      {
        for (int i = 0; i < 3; ++i) report_warning("X");
        finish_run();
      },
      ::testing::ExitedWithCode(3), "\nProbaX-I-ENDNOEWAR,  End of execution with 3 warning\\(s\\)\n$");
  EXPECT_EXIT(
      {
        report_error("X");
        finish_run();
      },
      ::testing::ExitedWithCode(5), "\nProbaX-I-ENDERRNWR,  End of execution with 1 error\\(s\\)\n$");
  EXPECT_EXIT(
      {
        report_error("X");
        report_error("X");
        report_warning("X");
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
