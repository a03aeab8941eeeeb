// ortekbatch: one test script per source file of a build's compile database.
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

#include "brunner.h"

int main(int argc, char **argv) {
  QCoreApplication application(argc, argv);
  QStringList args = application.arguments();
  args.removeFirst();
  BatchOptions options;
  QString error;
  bool help = false;
  if (!parse_batch_arguments(args, options, error, help)) {
    std::fprintf(stderr, "ortekbatch: %s\n%s", error.toLocal8Bit().constData(),
                 batch_usage().toLocal8Bit().constData());
    return 7;
  }
  if (help) {
    std::fputs(batch_usage().toLocal8Bit().constData(), stdout);
    return 0;
  }
  return run_batch(options);
}
