#include "bcomdb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QRegExp>
#include <QSet>
#include <cstdlib>

namespace {

QString entry_text(int index) { return QString("entry %1").arg(index); }

QString clean_absolute(const QString &directory, const QString &name) {
  return QDir::cleanPath(QDir(directory).absoluteFilePath(name));
}

// Flags with a separate value word that the analysis does not need.
bool dropped_with_value(const QString &flag) {
  static const QSet<QString> kFlags{"-o", "-MF", "-MT", "-MQ", "-Xlinker", "-L", "-l", "-arch", "-target",
                                    "--serialize-diagnostics", "-main-file-name"};
  return kFlags.contains(flag);
}

// Flags without meaning for declarations: warnings, optimisation, debug
// information, code generation, dependency output, the compile step itself.
bool dropped(const QString &flag) {
  static const QSet<QString> kFlags{"-c", "-pipe", "-w", "-pedantic", "-pedantic-errors", "-M", "-MM", "-MD",
                                    "-MMD", "-MP", "-pthread", "-fPIC", "-fpic", "-fPIE", "-fpie", "-shared",
                                    "-static", "-v", "-s", "-rdynamic"};
  if (kFlags.contains(flag)) return true;
  for (const char *prefix : {"-W", "-O", "-g", "-m", "-fdiagnostics", "-fno-", "-fstack", "-fvisibility",
                             "-fdata-sections", "-ffunction-sections", "-fcolor", "-fexceptions", "-frtti",
                             "-fomit", "-fsanitize", "-fprofile", "-fcoverage", "-flto", "-fmessage",
                             "-ftemplate", "-fconstexpr", "-fmacro-prefix-map", "-fdebug-prefix-map",
                             "-ffile-prefix-map", "-fstrict", "-fwrapv", "-fasynchronous", "-fcf-protection",
                             "-fmax-errors", "-fdiagnostics"})
    if (flag.startsWith(prefix)) return true;
  return false;
}

bool is_cpp_suffix(const QString &source) {
  const QString suffix = QFileInfo(source).suffix();
  if (suffix == "C") return true;
  static const QSet<QString> kCpp{"cc", "cpp", "cxx", "c++", "hpp", "hh", "hxx"};
  return kCpp.contains(suffix.toLower());
}

}  // namespace

QString batch_target_directory() {
  if (qEnvironmentVariableIsSet("QZLTGT")) return QString::fromLocal8Bit(qgetenv("QZLTGT"));
  const QString install = QString::fromLocal8Bit(qgetenv("PROBAXDIR"));
  if (install.isEmpty()) return QString();
  const QString embedded = install + "/target/gcc";
  return QFileInfo(embedded).isDir() ? embedded : QString();
}

QStringList split_command(const QString &command) {
  QStringList words;
  QString word;
  bool in_word = false;
  QChar quote;
  for (int i = 0; i < command.size(); ++i) {
    const QChar c = command[i];
    if (quote == '\'') {
      if (c == '\'') quote = QChar();
      else word += c;
      continue;
    }
    if (quote == '"') {
      if (c == '"') {
        quote = QChar();
      } else if (c == '\\' && i + 1 < command.size() && QString("\"\\$`").contains(command[i + 1])) {
        word += command[++i];
      } else {
        word += c;
      }
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      if (in_word) words << word;
      word.clear();
      in_word = false;
      continue;
    }
    in_word = true;
    if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '\\' && i + 1 < command.size()) {
      word += command[++i];
    } else {
      word += c;
    }
  }
  if (in_word) words << word;
  return words;
}

CompileDatabase read_compile_database(const QString &path) {
  CompileDatabase db;
  QFileInfo info(path);
  db.path = info.isDir() ? QDir(path).filePath("compile_commands.json") : path;
  db.path = QDir::cleanPath(QFileInfo(db.path).absoluteFilePath());
  QFile file(db.path);
  if (!file.open(QIODevice::ReadOnly)) {
    db.problems << QString("%1: cannot be read").arg(db.path);
    db.fatal = true;
    return db;
  }
  QJsonParseError error;
  const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
  if (error.error != QJsonParseError::NoError) {
    db.problems << QString("%1: not JSON: %2 at byte %3").arg(db.path, error.errorString()).arg(error.offset);
    db.fatal = true;
    return db;
  }
  if (!doc.isArray()) {
    db.problems << QString("%1: not a JSON array of entries").arg(db.path);
    db.fatal = true;
    return db;
  }
  const QString base = QFileInfo(db.path).absolutePath();
  std::map<QString, int> seen;  // source -> first entry
  const QJsonArray array = doc.array();
  for (int i = 0; i < array.size(); ++i) {
    const int index = i + 1;
    if (!array[i].isObject()) {
      db.problems << QString("%1: not an object").arg(entry_text(index));
      continue;
    }
    const QJsonObject o = array[i].toObject();
    const QString file_name = o.value("file").toString();
    if (file_name.isEmpty()) {
      db.problems << QString("%1: no \"file\"").arg(entry_text(index));
      continue;
    }
    QString directory = o.value("directory").toString();
    if (directory.isEmpty()) {
      if (QDir::isRelativePath(file_name)) {
        db.problems << QString("%1: relative \"file\" %2 without \"directory\"").arg(entry_text(index), file_name);
        continue;
      }
      directory = QFileInfo(file_name).absolutePath();
    } else if (QDir::isRelativePath(directory)) {
      directory = clean_absolute(base, directory);
    }
    CompileEntry e;
    e.index = index;
    e.directory = QDir::cleanPath(directory);
    e.source = clean_absolute(e.directory, file_name);
    if (o.value("arguments").isArray()) {
      for (const QJsonValue &v : o.value("arguments").toArray()) e.arguments << v.toString();
    } else if (o.value("command").isString()) {
      e.arguments = split_command(o.value("command").toString());
    } else {
      db.problems << QString("%1 (%2): neither \"arguments\" nor \"command\"").arg(entry_text(index), e.source);
      continue;
    }
    if (!QFileInfo(e.source).isFile()) {
      db.problems << QString("%1: %2 does not exist").arg(entry_text(index), e.source);
      continue;
    }
    if (!QFileInfo(e.directory).isDir()) {
      db.problems << QString("%1: directory %2 does not exist").arg(entry_text(index), e.directory);
      continue;
    }
    auto found = seen.find(e.source);
    if (found != seen.end()) {
      db.problems << QString("%1: %2 again (first in entry %3), left out").arg(entry_text(index), e.source)
                         .arg(found->second);
      continue;
    }
    seen.emplace(e.source, index);
    db.entries.push_back(e);
  }
  return db;
}

QStringList map_flags(const CompileEntry &entry, const QString &target_dir, std::map<QString, QString> &unmapped) {
  QStringList options;
  QStringList defines;  // in command order; -U removes an earlier -D of the name
  const QStringList &a = entry.arguments;
  auto note = [&](const QString &flag) { unmapped.emplace(flag, entry.source); };
  auto value_of = [&](int &i, const QString &flag) -> QString {
    const QString &arg = a[i];
    if (arg.size() > flag.size()) return arg.mid(flag.size());
    if (i + 1 < a.size()) return a[++i];
    return QString();
  };
  for (int i = 1; i < a.size(); ++i) {
    const QString &arg = a[i];
    if (!arg.startsWith('-') || arg == "-") {
      // The source itself (as written or absolute); other inputs are unusual.
      if (clean_absolute(entry.directory, arg) != entry.source) note(arg.startsWith('-') ? arg : "<input file>");
      continue;
    }
    if (arg.startsWith("-I") || arg.startsWith("-isystem") || arg.startsWith("-iquote") ||
        arg.startsWith("-idirafter")) {
      const QString flag = arg.startsWith("-I")         ? "-I"
                           : arg.startsWith("-isystem") ? "-isystem"
                           : arg.startsWith("-iquote")  ? "-iquote"
                                                        : "-idirafter";
      const QString dir = value_of(i, flag);
      if (!dir.isEmpty()) options << "-INCL=" + clean_absolute(entry.directory, dir);
    } else if (arg.startsWith("-D")) {
      const QString d = value_of(i, "-D");
      if (!d.isEmpty()) defines << d;
    } else if (arg.startsWith("-U")) {
      const QString name = value_of(i, "-U");
      const int before = defines.size();
      for (int k = defines.size() - 1; k >= 0; --k)
        if (defines[k] == name || defines[k].startsWith(name + "=")) defines.removeAt(k);
      if (defines.size() == before) note("-U" + name);  // a predefined macro: no option undefines it
    } else if (arg == "-include") {
      if (i + 1 < a.size()) options << "-USE=" + clean_absolute(entry.directory, a[++i]);
    } else if (arg.startsWith("-std=")) {
      const QString standard = arg.mid(5);
      const bool cpp = standard.contains("++");
      if (cpp != is_cpp_suffix(entry.source)) {
        note(arg);
      } else if (cpp && QRegExp("(c|gnu)\\+\\+(98|03)").exactMatch(standard)) {
        const QString file = target_dir + "/ana/qzus_cpp98.def";
        if (!target_dir.isEmpty() && QFileInfo(file).isFile()) options << "-STD_DEFINE=" + file;
        else note(arg);
      }
    } else if (dropped_with_value(arg)) {
      ++i;
    } else if (!dropped(arg)) {
      note(arg.section('=', 0, 0));
    }
  }
  for (const QString &d : defines) {
    // The decoder splits values at an unescaped ",".
    QString escaped = d;
    escaped.replace(",", "\\,");
    options << "-DEFINE=" + escaped;
  }
  return options;
}
