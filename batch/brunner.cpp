#include "brunner.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegExp>
#include <QSaveFile>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t interrupted = 0;
void on_interrupt(int) { interrupted = 1; }

void say(const QString &text) {
  std::fprintf(stderr, "ortekbatch: %s\n", text.toLocal8Bit().constData());
}

const char *const kOutcomeNames[] = {"clean", "warnings", "errors", "fatal", "skipped"};

int status_rank(int status) {
  switch (status) {
    case 0: return 0;
    case 3: return 1;
    case 5: return 2;
    case 7: return 3;
    default: return 4;  // internal error or anything unexpected
  }
}
const int kStatusOfRank[] = {0, 3, 5, 7, 9};

QString common_folder(const std::vector<CompileEntry> &entries) {
  if (entries.empty()) return QDir::currentPath();
  QStringList common = QFileInfo(entries[0].source).absolutePath().split('/');
  for (const CompileEntry &e : entries) {
    const QStringList parts = QFileInfo(e.source).absolutePath().split('/');
    int n = 0;
    while (n < common.size() && n < parts.size() && common[n] == parts[n]) ++n;
    common = common.mid(0, n);
  }
  const QString joined = common.join('/');
  return joined.isEmpty() ? QString("/") : joined;
}

QString clock_text(double seconds) {
  const int s = static_cast<int>(seconds + 0.5);
  return QString("%1:%2").arg(s / 60, 2, 10, QChar('0')).arg(s % 60, 2, 10, QChar('0'));
}

// What the previous runs left: script -> the command that wrote it.
QString state_path(const BatchOptions &o) { return QDir(o.out_dir).filePath(".ortekbatch-state.json"); }

std::map<QString, QString> read_state(const BatchOptions &o) {
  std::map<QString, QString> state;
  QFile f(state_path(o));
  if (!f.open(QIODevice::ReadOnly)) return state;
  const QJsonObject obj = QJsonDocument::fromJson(f.readAll()).object();
  for (auto it = obj.begin(); it != obj.end(); ++it) state[it.key()] = it.value().toString();
  return state;
}

bool write_json(const QString &path, const QJsonDocument &doc) {
  QSaveFile f(path);  // written beside and renamed: never half a file
  if (!f.open(QIODevice::WriteOnly)) return false;
  f.write(doc.toJson());
  return f.commit();
}

// The temporaries of an ortekstart run that was stopped before it could
// remove them; the script and dependency file themselves are only ever
// renamed into place, so a stopped run leaves neither.
void remove_temporaries(const BatchItem &item, qint64 pid) {
  if (pid <= 0) return;
  QDir dir(QFileInfo(item.script).absolutePath());
  const QString id = QString::number(pid);
  for (const QString &name : dir.entryList({".ortekstart-" + id + "-*", ".ortekstart-dep-" + id},
                                           QDir::Files | QDir::Hidden | QDir::System))
    dir.remove(name);
  QDir dep_dir(QFileInfo(item.depfile).absolutePath());
  dep_dir.remove(".ortekstart-dep-" + id);
}

class Runner {
 public:
  Runner(const BatchOptions &o, std::vector<BatchItem> &items, std::vector<int> &queue)
      : o_(o), items_(items), queue_(queue) {
    terminal_ = isatty(2) != 0;
  }

  void start() {
    clock_.start();
    jobs_ = o_.jobs > 0 ? o_.jobs : std::max(1, QThread::idealThreadCount());
    QTimer *poll = new QTimer(QCoreApplication::instance());
    QObject::connect(poll, &QTimer::timeout, [this] { tick(); });
    poll->start(100);
    fill();
    if (running_.empty()) QCoreApplication::exit(0);
  }

  bool was_interrupted() const { return stopping_; }

 private:
  struct Running {
    int item;
    QProcess *process;
    QElapsedTimer clock;
    bool timed_out = false;
    qint64 pid = 0;
  };

  void fill() {
    while (!stopping_ && next_ < queue_.size() && static_cast<int>(running_.size()) < jobs_) launch(queue_[next_++]);
    show_progress();
  }

  void launch(int index) {
    BatchItem &item = items_[index];
    QDir().mkpath(QFileInfo(item.script).absolutePath());
    QDir().mkpath(QFileInfo(item.depfile).absolutePath());
    auto r = std::make_shared<Running>();
    r->item = index;
    r->process = new QProcess();
    r->process->setWorkingDirectory(item.entry.directory);
    r->process->setProgram(o_.tool);
    r->process->setArguments(item.arguments);
    r->process->setStandardOutputFile(QProcess::nullDevice());
    QObject::connect(r->process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished),
                     [this, r](int code, QProcess::ExitStatus how) { finished(r, code, how); });
    QObject::connect(r->process, &QProcess::errorOccurred, [this, r](QProcess::ProcessError e) {
      if (e == QProcess::FailedToStart) finished(r, -1, QProcess::CrashExit);
    });
    r->clock.start();
    running_.push_back(r);
    r->process->start();
    r->pid = r->process->processId();
  }

  void finished(const std::shared_ptr<Running> &r, int code, QProcess::ExitStatus how) {
    auto it = std::find(running_.begin(), running_.end(), r);
    if (it == running_.end()) return;  // already counted
    running_.erase(it);
    BatchItem &item = items_[r->item];
    item.seconds = r->clock.elapsed() / 1000.0;
    item.diagnostics = QString::fromLocal8Bit(r->process->readAllStandardError());
    QRegExp code_rx("^ProbaX-[SFEWI]-([A-Z0-9_]+),");
    for (const QString &line : item.diagnostics.split('\n'))
      if (code_rx.indexIn(line) == 0) ++item.messages[code_rx.cap(1)];
    if (r->process->error() == QProcess::FailedToStart) {
      item.failure = "could not start " + o_.tool;
      item.status = 9;
    } else if (r->timed_out) {
      item.failure = QString("timeout after %1 s").arg(o_.timeout);
      item.status = 7;
    } else if (how == QProcess::CrashExit) {
      item.failure = stopping_ ? QString("interrupted") : QString("killed by a signal");
      item.status = 7;
    } else {
      item.status = code;
    }
    if (!item.failure.isEmpty()) remove_temporaries(item, r->pid);
    const int rank = status_rank(item.status);
    item.outcome = rank == 0 ? OUT_CLEAN : rank == 1 ? OUT_WARNINGS : rank == 2 ? OUT_ERRORS : OUT_FATAL;
    if (rank > 3) item.status = 9;
    r->process->deleteLater();
    ++done_;
    log_line(item);
    if (running_.empty() && (stopping_ || next_ >= queue_.size())) {
      if (terminal_) std::fputs("\r\033[K", stderr);
      QCoreApplication::exit(0);
      return;
    }
    fill();
  }

  void tick() {
    if (interrupted && !stopping_) {
      stopping_ = true;
      say("interrupted: stopping the runs");
      for (auto &r : running_) r->process->kill();
      if (running_.empty()) QCoreApplication::exit(0);
      return;
    }
    if (o_.timeout > 0)
      for (auto &r : running_)
        if (!r->timed_out && r->clock.elapsed() > o_.timeout * 1000) {
          r->timed_out = true;
          r->process->kill();
        }
    show_progress();
  }

  void log_line(const BatchItem &item) {
    if (terminal_) std::fputs("\r\033[K", stderr);
    QString line = QString("[%1/%2] %3 %4 (%5 s)")
                       .arg(done_)
                       .arg(queue_.size())
                       .arg(QString(kOutcomeNames[item.outcome]).leftJustified(8))
                       .arg(item.relative)
                       .arg(item.seconds, 0, 'f', 2);
    if (!item.failure.isEmpty()) line += ": " + item.failure;
    // A clean run has nothing to say on a terminal; elsewhere every file
    // gets its line.
    if (!terminal_ || item.outcome != OUT_CLEAN)
      std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    if (item.outcome == OUT_FATAL && item.failure.isEmpty()) {
      for (const QString &l : item.diagnostics.split('\n'))
        if (l.startsWith("ProbaX-F-") || l.startsWith("ProbaX-S-") || l.startsWith("ProbaX-E-"))
          std::fprintf(stderr, "    %s\n", l.toLocal8Bit().constData());
    }
  }

  void show_progress() {
    if (!terminal_ || queue_.empty()) return;
    const double elapsed = clock_.elapsed() / 1000.0;
    QString left = "?";
    if (done_ > 0) left = clock_text(elapsed / done_ * (queue_.size() - done_));
    QString current = running_.empty() ? QString() : items_[running_.front()->item].relative;
    QString text = QString("[%1/%2] %3 elapsed, ~%4 left  %5").arg(done_).arg(queue_.size()).arg(clock_text(elapsed), left, current);
    if (text.size() > 120) text = text.left(117) + "...";
    std::fprintf(stderr, "\r\033[K%s", text.toLocal8Bit().constData());
    std::fflush(stderr);
  }

  const BatchOptions &o_;
  std::vector<BatchItem> &items_;
  std::vector<int> &queue_;
  std::vector<std::shared_ptr<Running>> running_;
  std::size_t next_ = 0;
  std::size_t done_ = 0;
  int jobs_ = 1;
  bool terminal_ = false;
  bool stopping_ = false;
  QElapsedTimer clock_;
};

QJsonObject report_record(const BatchItem &item) {
  QJsonObject r;
  r["source"] = item.entry.source;
  r["script"] = item.script;
  r["outcome"] = kOutcomeNames[item.outcome];
  r["status"] = item.status;
  r["seconds"] = item.seconds;
  QJsonObject counts;
  for (const auto &m : item.messages) counts[m.first] = m.second;
  r["messages"] = counts;
  if (!item.failure.isEmpty()) r["failure"] = item.failure;
  return r;
}

bool write_ninja(const BatchOptions &o, const std::vector<BatchItem> &items) {
  QString text;
  text += "# One edge per source file of " + o.database + "\n";
  text += "# Written by ortekbatch; regenerate it after the compile database changes.\n";
  text += "ninja_required_version = 1.3\n\n";
  text += "tool = " + ninja_escaped(shell_quoted(o.tool), false) + "\n\n";
  // ortekstart ends with 3 or 5 when it reported warnings or errors; the
  // script and its dependency file are written all the same.
  text += "rule ortekstart\n";
  text += "  command = cd $dir && $tool $args; s=$$?; test $$s -le 5\n";
  text += "  depfile = $dep\n";
  text += "  description = ortekstart $in\n\n";
  for (const BatchItem &item : items) {
    QStringList quoted;
    for (const QString &a : item.arguments) quoted << shell_quoted(a);
    text += "build " + ninja_escaped(item.script, true) + ": ortekstart " + ninja_escaped(item.entry.source, true) +
            " | " + ninja_escaped(o.tool, true) + "\n";
    text += "  dir = " + ninja_escaped(shell_quoted(item.entry.directory), false) + "\n";
    text += "  args = " + ninja_escaped(quoted.join(' '), false) + "\n";
    text += "  dep = " + ninja_escaped(item.depfile, false) + "\n";
  }
  QSaveFile f(o.ninja);
  if (!f.open(QIODevice::WriteOnly)) return false;
  f.write(text.toLocal8Bit());
  return f.commit();
}

}  // namespace

QString shell_quoted(const QString &word) {
  static const QRegExp plain("[A-Za-z0-9_./=+,:@%^-]+");
  if (!word.isEmpty() && plain.exactMatch(word)) return word;
  QString out = word;
  out.replace("'", "'\\''");
  return "'" + out + "'";
}

QString ninja_escaped(const QString &text, bool path) {
  QString out;
  for (const QChar c : text) {
    if (c == '$') out += "$$";
    else if (path && (c == ' ' || c == ':')) out += QString("$") + c;
    else if (c == '\n') out += ' ';
    else out += c;
  }
  return out;
}

QStringList read_depfile(const QString &depfile) {
  QFile f(depfile);
  QStringList names;
  if (!f.open(QIODevice::ReadOnly)) return names;
  const QString text = QString::fromLocal8Bit(f.readAll());
  QString word;
  bool after_colon = false;
  auto take = [&] {
    if (!word.isEmpty() && after_colon) names << word;
    word.clear();
  };
  for (int i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c == '\\' && i + 1 < text.size()) {
      const QChar n = text[i + 1];
      if (n == '\n') { take(); ++i; continue; }
      if (n == ' ' || n == '#' || n == '\\' || n == '\t') { word += n; ++i; continue; }
      word += c;
    } else if (c == '$' && i + 1 < text.size() && text[i + 1] == '$') {
      word += '$';
      ++i;
    } else if (c == ':' && !after_colon && (i + 1 >= text.size() || text[i + 1].isSpace())) {
      word.clear();
      after_colon = true;
    } else if (c.isSpace()) {
      take();
    } else {
      word += c;
    }
  }
  take();
  return names;
}

bool script_up_to_date(const QString &script, const QString &depfile) {
  const QFileInfo s(script), d(depfile);
  if (!s.isFile() || !d.isFile()) return false;
  const QStringList inputs = read_depfile(depfile);
  if (inputs.isEmpty()) return false;
  const QDateTime written = s.lastModified();
  for (const QString &input : inputs) {
    const QFileInfo i(input);
    if (!i.exists() || i.lastModified() > written) return false;
  }
  return true;
}

QString batch_usage() {
  return "Usage: ortekbatch [options] PATH [-- ortekstart options]\n"
         "  PATH               a compile_commands.json, or the build folder that holds one\n"
         "  --out DIR          write the scripts under DIR, mirroring the source tree (default: ptu)\n"
         "  --root DIR         the folder mirrored (default: the common folder of the sources)\n"
         "  --filter GLOB      only the sources whose path under the root matches (repeatable)\n"
         "  -j N               N runs at once (default: the number of cores)\n"
         "  --force            regenerate scripts that are up to date\n"
         "  --timeout S        stop a run after S seconds (a failure of that file)\n"
         "  --report FILE      write one JSON record per file\n"
         "  --ninja FILE       write a ninja build file instead of running\n"
         "  --tool PATH        the ortekstart to run (default: the one beside ortekbatch)\n"
         "  -h, --help         this text\n";
}

bool parse_batch_arguments(const QStringList &args, BatchOptions &o, QString &error, bool &help) {
  help = false;
  for (int i = 0; i < args.size(); ++i) {
    const QString &a = args[i];
    auto value = [&](QString &out) {
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return false;
      }
      out = args[++i];
      return true;
    };
    QString v;
    if (a == "--") {
      o.extra = args.mid(i + 1);
      break;
    } else if (a == "-h" || a == "--help") {
      help = true;
      return true;
    } else if (a == "--out") {
      if (!value(o.out_dir)) return false;
    } else if (a == "--root") {
      if (!value(o.root)) return false;
    } else if (a == "--filter") {
      if (!value(v)) return false;
      o.filters << v;
    } else if (a == "-j" || (a.startsWith("-j") && a.size() > 2)) {
      if (a == "-j" && !value(v)) return false;
      if (a != "-j") v = a.mid(2);
      bool ok = false;
      o.jobs = v.toInt(&ok);
      if (!ok || o.jobs < 1 || o.jobs > 1024) {
        error = "-j needs a number from 1 to 1024";
        return false;
      }
    } else if (a == "--force") {
      o.force = true;
    } else if (a == "--timeout") {
      if (!value(v)) return false;
      bool ok = false;
      o.timeout = v.toDouble(&ok);
      if (!ok || o.timeout <= 0) {
        error = "--timeout needs a number of seconds above 0";
        return false;
      }
    } else if (a == "--report") {
      if (!value(o.report)) return false;
    } else if (a == "--ninja") {
      if (!value(o.ninja)) return false;
    } else if (a == "--tool") {
      if (!value(o.tool)) return false;
    } else if (a.startsWith('-') && a.size() > 1) {
      error = "unknown option " + a;
      return false;
    } else if (o.database.isEmpty()) {
      o.database = a;
    } else {
      error = "one PATH only: " + a;
      return false;
    }
  }
  if (o.database.isEmpty()) {
    error = "PATH is missing";
    return false;
  }
  return true;
}

int run_batch(const BatchOptions &given) {
  BatchOptions o = given;
  if (o.out_dir.isEmpty()) o.out_dir = "ptu";
  o.out_dir = QDir::cleanPath(QFileInfo(o.out_dir).absoluteFilePath());
  if (o.tool.isEmpty()) o.tool = QCoreApplication::applicationDirPath() + "/ortekstart";
  o.tool = QFileInfo(o.tool).absoluteFilePath();
  if (!QFileInfo(o.tool).isExecutable()) {
    say("cannot run " + o.tool);
    return 7;
  }

  CompileDatabase db = read_compile_database(o.database);
  for (const QString &p : db.problems) say(p);
  if (db.fatal) return 7;
  o.database = db.path;
  const QString root = o.root.isEmpty() ? common_folder(db.entries) : QDir::cleanPath(QFileInfo(o.root).absoluteFilePath());
  const QString target = batch_target_directory();

  std::vector<BatchItem> items;
  std::map<QString, QString> unmapped;
  std::map<QString, int> by_script;
  bool clash = false;
  std::vector<QRegExp> globs;
  for (const QString &f : o.filters) globs.emplace_back(f, Qt::CaseSensitive, QRegExp::WildcardUnix);
  for (const CompileEntry &e : db.entries) {
    const QString relative = QDir(root).relativeFilePath(e.source);
    if (relative.startsWith("../")) {
      say(QString("entry %1: %2 lies outside %3, left out").arg(e.index).arg(e.source, root));
      continue;
    }
    if (!globs.empty() && std::none_of(globs.begin(), globs.end(), [&](const QRegExp &g) { return g.exactMatch(relative); }))
      continue;
    BatchItem item;
    item.entry = e;
    item.relative = relative;
    const QFileInfo rel(relative);
    const QString stem = (rel.path() == "." ? QString() : rel.path() + "/") + rel.completeBaseName();
    item.script = QDir(o.out_dir).filePath(stem + ".ptu");
    item.depfile = QDir(o.out_dir).filePath(stem + ".d");
    item.arguments << e.source << item.script;
    item.arguments << map_flags(e, target, unmapped);
    item.arguments << o.extra;
    item.arguments << "-DEPFILE=" + item.depfile;
    item.stamp = o.tool + '\x1f' + item.entry.directory + '\x1f' + item.arguments.join('\x1f');
    auto found = by_script.find(item.script);
    if (found != by_script.end()) {
      say(QString("entries %1 and %2 would both write %3 (%4, %5)")
              .arg(items[found->second].entry.index)
              .arg(e.index)
              .arg(item.script, items[found->second].entry.source, e.source));
      clash = true;
      continue;
    }
    by_script.emplace(item.script, static_cast<int>(items.size()));
    items.push_back(item);
  }
  for (const auto &u : unmapped) say(QString("flag %1 not mapped, left out (first in %2)").arg(u.first, u.second));
  if (clash) {
    say("nothing was run: give the sources different names or mirror them apart (--root)");
    return 7;
  }

  if (!o.ninja.isEmpty()) {
    if (!write_ninja(o, items)) {
      say("cannot write " + o.ninja);
      return 7;
    }
    say(QString("%1 edges written to %2").arg(items.size()).arg(o.ninja));
    return 0;
  }

  QDir().mkpath(o.out_dir);
  std::map<QString, QString> state = read_state(o);
  std::vector<int> queue;
  for (std::size_t i = 0; i < items.size(); ++i) {
    BatchItem &item = items[i];
    auto s = state.find(item.script);
    const bool same_command = s != state.end() && s->second == item.stamp;
    if (!o.force && same_command && script_up_to_date(item.script, item.depfile)) {
      item.outcome = OUT_SKIPPED;
      item.status = 0;
      continue;
    }
    queue.push_back(static_cast<int>(i));
  }

  std::signal(SIGINT, on_interrupt);
  std::signal(SIGTERM, on_interrupt);
  QElapsedTimer total;
  total.start();
  Runner runner(o, items, queue);
  QTimer::singleShot(0, [&runner] { runner.start(); });
  if (!queue.empty()) QCoreApplication::exec();

  // State: a script written by this command; a failed run forgets it.
  for (const BatchItem &item : items) {
    if (item.status < 0) continue;
    if (item.outcome == OUT_SKIPPED || (item.failure.isEmpty() && item.status <= 5))
      state[item.script] = item.stamp;
    else
      state.erase(item.script);
  }
  QJsonObject saved;
  for (const auto &s : state) saved[s.first] = s.second;
  if (!write_json(state_path(o), QJsonDocument(saved))) say("cannot write " + state_path(o));

  int counts[5] = {0, 0, 0, 0, 0};
  int worst = 0;
  std::vector<const BatchItem *> ran;
  for (const BatchItem &item : items) {
    if (item.status < 0) continue;  // not reached before an interruption
    ++counts[item.outcome];
    worst = std::max(worst, status_rank(item.status));
    if (item.outcome != OUT_SKIPPED) ran.push_back(&item);
  }
  if (interrupted) worst = std::max(worst, 3);
  std::sort(ran.begin(), ran.end(), [](const BatchItem *a, const BatchItem *b) { return a->seconds > b->seconds; });

  QString summary = QString("\n%1 files in %2 s%3\n").arg(items.size()).arg(total.elapsed() / 1000.0, 0, 'f', 2)
                        .arg(interrupted ? QString(", interrupted") : QString());
  for (int k = 0; k < 5; ++k) summary += QString("  %1 %2\n").arg(QString(kOutcomeNames[k]).leftJustified(9)).arg(counts[k], 5);
  if (!ran.empty()) {
    summary += "slowest:\n";
    for (std::size_t k = 0; k < ran.size() && k < 5; ++k)
      summary += QString("  %1 s  %2\n").arg(ran[k]->seconds, 6, 'f', 2).arg(ran[k]->relative);
  }
  summary += QString("status %1\n").arg(kStatusOfRank[worst]);
  std::fputs(summary.toLocal8Bit().constData(), stdout);
  std::fflush(stdout);

  if (!o.report.isEmpty()) {
    QJsonArray records;
    for (const BatchItem &item : items)
      if (item.status >= 0) records.append(report_record(item));
    QJsonObject root_object;
    root_object["database"] = o.database;
    root_object["status"] = kStatusOfRank[worst];
    root_object["interrupted"] = interrupted != 0;
    root_object["files"] = records;
    if (!write_json(QFileInfo(o.report).absoluteFilePath(), QJsonDocument(root_object))) {
      say("cannot write " + o.report);
      worst = std::max(worst, 3);
    }
  }
  return kStatusOfRank[worst];
}
