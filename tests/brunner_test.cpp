#include "brunner.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

namespace {

void write(const QString &path, const QByteArray &text) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(text);
}

void set_time(const QString &path, int seconds_ago) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadWrite));
  ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(-seconds_ago), QFileDevice::FileModificationTime));
}

TEST(BatchRunner, DependencyFilesAndUpToDateScripts) {
  QTemporaryDir dir;
  const QString d = dir.path();
  write(d + "/a b.c", "int a;\n");
  write(d + "/h.h", "int h;\n");
  write(d + "/t.ptu", "script\n");
  write(d + "/t.d", (d + "/t.ptu: \\\n  " + d + "/a\\ b.c \\\n  " + d + "/h.h\n").toUtf8());
  EXPECT_EQ(read_depfile(d + "/t.d"), (QStringList{d + "/a b.c", d + "/h.h"}));
  set_time(d + "/a b.c", 100);
  set_time(d + "/h.h", 100);
  EXPECT_TRUE(script_up_to_date(d + "/t.ptu", d + "/t.d"));
  set_time(d + "/h.h", -100);  // a header changed after the script
  EXPECT_FALSE(script_up_to_date(d + "/t.ptu", d + "/t.d"));
  set_time(d + "/h.h", 100);
  QFile::remove(d + "/h.h");  // a header gone
  EXPECT_FALSE(script_up_to_date(d + "/t.ptu", d + "/t.d"));
  EXPECT_FALSE(script_up_to_date(d + "/t.ptu", d + "/none.d"));
}

TEST(BatchRunner, QuotingForTheShellAndNinja) {
  EXPECT_EQ(shell_quoted("-INCL=/a/b"), "-INCL=/a/b");
  EXPECT_EQ(shell_quoted("it's here"), "'it'\\''s here'");
  EXPECT_EQ(shell_quoted(""), "''");
  EXPECT_EQ(ninja_escaped("/a b/c:d$e", true), "/a$ b/c$:d$$e");
  EXPECT_EQ(ninja_escaped("x $y z", false), "x $$y z");
}

TEST(BatchRunner, CommandLine) {
  BatchOptions o;
  QString error;
  bool help = false;
  ASSERT_TRUE(parse_batch_arguments({"-j", "3", "--filter", "src/*", "--filter", "*.cpp", "--out", "o", "--force",
                                     "build", "--", "-INSERT", "--x"},
                                    o, error, help));
  EXPECT_EQ(o.jobs, 3);
  EXPECT_EQ(o.filters, (QStringList{"src/*", "*.cpp"}));
  EXPECT_EQ(o.database, "build");
  EXPECT_EQ(o.extra, (QStringList{"-INSERT", "--x"}));
  EXPECT_TRUE(o.force);
  BatchOptions p;
  EXPECT_FALSE(parse_batch_arguments({"-j0", "b"}, p, error, help));
  EXPECT_FALSE(parse_batch_arguments({"--timeout", "x", "b"}, p, error, help));
  EXPECT_FALSE(parse_batch_arguments({"--bogus", "b"}, p, error, help));
  EXPECT_FALSE(parse_batch_arguments({}, p, error, help));
  EXPECT_TRUE(parse_batch_arguments({"--help"}, p, error, help));
  EXPECT_TRUE(help);
}

}  // namespace
