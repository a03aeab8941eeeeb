#include "bcomdb.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

class CompileDb : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
  QString path(const QString &name) const { return dir_.path() + "/" + name; }
  void write(const QString &name, const QByteArray &text) {
    QDir().mkpath(QFileInfo(path(name)).absolutePath());
    QFile f(path(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
  }
  CompileDatabase read(const QByteArray &json) {
    write("build/compile_commands.json", json);
    return read_compile_database(path("build"));  // the folder that holds it
  }
  QTemporaryDir dir_;
};

TEST(SplitCommand, WordsQuotesAndBackslashes) {
  EXPECT_EQ(split_command("cc  -DA=\"x y\" -I'my dir' a\\ b.c\t-c"),
            (QStringList{"cc", "-DA=x y", "-Imy dir", "a b.c", "-c"}));
  EXPECT_EQ(split_command("cc -DS=\"\\\"q\\\"\" ''"), (QStringList{"cc", "-DS=\"q\"", ""}));
  EXPECT_TRUE(split_command("   ").isEmpty());
}

TEST_F(CompileDb, BadDatabasesAreFatalWithAClearMessage) {
  CompileDatabase db = read("{ not json");
  EXPECT_TRUE(db.fatal);
  ASSERT_EQ(db.problems.size(), 1);
  EXPECT_TRUE(db.problems[0].contains("not JSON")) << db.problems[0].toStdString();
  db = read("{\"file\": \"a.c\"}");
  EXPECT_TRUE(db.fatal);
  EXPECT_TRUE(db.problems[0].contains("not a JSON array"));
  db = read_compile_database(path("nowhere"));
  EXPECT_TRUE(db.fatal);
}

TEST_F(CompileDb, BadEntriesAreNamedAndTheOthersKept) {
  write("src/a.c", "int a;\n");
  write("src/b.c", "int b;\n");
  const QByteArray src = path("src").toUtf8();
  CompileDatabase db = read("[ 3,"
                            " {\"directory\": \"" + src + "\"},"
                            " {\"file\": \"a.c\", \"arguments\": [\"cc\", \"a.c\"]},"
                            " {\"directory\": \"" + src + "\", \"file\": \"a.c\", \"arguments\": [\"cc\", \"-c\", \"a.c\"]},"
                            " {\"directory\": \"" + src + "\", \"file\": \"./a.c\", \"command\": \"cc a.c\"},"
                            " {\"directory\": \"" + src + "\", \"file\": \"gone.c\", \"command\": \"cc gone.c\"},"
                            " {\"directory\": \"" + src + "\", \"file\": \"b.c\"},"
                            " {\"directory\": \"" + src + "\", \"file\": \"" + src + "/b.c\", \"command\": \"cc -c b.c\"} ]");
  EXPECT_FALSE(db.fatal);
  ASSERT_EQ(db.entries.size(), 2u);
  EXPECT_EQ(db.entries[0].source, path("src/a.c"));
  EXPECT_EQ(db.entries[0].index, 4);
  EXPECT_EQ(db.entries[1].arguments, (QStringList{"cc", "-c", "b.c"}));
  const QStringList expected_words{"entry 1: not an object", "entry 2: no \"file\"", "entry 3: relative",
                                   "entry 5:", "entry 6:", "entry 7"};
  ASSERT_EQ(db.problems.size(), expected_words.size()) << db.problems.join("\n").toStdString();
  for (int i = 0; i < expected_words.size(); ++i)
    EXPECT_TRUE(db.problems[i].startsWith(expected_words[i])) << db.problems[i].toStdString();
  EXPECT_TRUE(db.problems[3].contains("again (first in entry 4)"));
  EXPECT_TRUE(db.problems[4].contains("does not exist"));
}

TEST_F(CompileDb, FlagsBecomeOptionsAndTheRestIsReportedOncePerFlag) {
  CompileEntry e;
  e.directory = "/b";
  e.source = "/s/a.c";
  e.arguments = QStringList{"cc", "-Iinc", "-I", "/abs", "-isystem", "sys", "-iquote../q", "-DA", "-D", "B=1,2",
                            "-DC", "-UC", "-UNDEBUG", "-include", "cfg.h", "-std=gnu11", "-o", "a.o", "-c",
                            "/s/a.c", "-Wall", "-O2", "-g", "-fPIC", "-MD", "-MF", "a.d", "-x", "-nostdinc"};
  std::map<QString, QString> unmapped;
  const QStringList options = map_flags(e, QString(), unmapped);
  EXPECT_EQ(options, (QStringList{"-INCL=/b/inc", "-INCL=/abs", "-INCL=/b/sys", "-INCL=/q", "-USE=/b/cfg.h",
                                  "-DEFINE=A", "-DEFINE=B=1\\,2"}));
  std::map<QString, QString> expected{{"-UNDEBUG", "/s/a.c"}, {"-x", "/s/a.c"}, {"-nostdinc", "/s/a.c"}};
  EXPECT_EQ(unmapped, expected);
  // A C++ standard on a C file cannot be honoured; C++98 picks its defines.
  e.arguments = QStringList{"c++", "-std=c++17", "a.c"};
  unmapped.clear();
  map_flags(e, QString(), unmapped);
  EXPECT_EQ(unmapped.count("-std=c++17"), 1u);
  write("tgt/ana/qzus_cpp98.def", "\n");
  e.source = "/s/a.cpp";
  e.arguments = QStringList{"c++", "-std=c++98", "a.cpp"};
  EXPECT_EQ(map_flags(e, path("tgt"), unmapped), (QStringList{"-STD_DEFINE=" + path("tgt/ana/qzus_cpp98.def")}));
}

}  // namespace
