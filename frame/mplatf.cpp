#include "mplatf.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

char sys_separator() {
  static const char separator = QDir::separator().toLatin1();
  return separator;
}

std::string sys_native_path(const char *name) {
  std::string p(name ? name : "");
  for (char &c : p)
    if (c == '\\') c = '/';
  return p;
}

namespace {
// A name as the system reads it: the caller's own text when it holds no
// backslash (nearly always), else a copy with the host's separator in
// their place. The include search asks about hundreds of names a run.
class NativeName {
 public:
  explicit NativeName(const char *name) : name_(name ? name : "") {
    if (std::strchr(name_, '\\')) {
      copy_ = sys_native_path(name_);
      name_ = copy_.c_str();
    }
  }
  NativeName(const NativeName &) = delete;
  NativeName &operator=(const NativeName &) = delete;
  const char *c_str() const { return name_; }

 private:
  const char *name_;
  std::string copy_;
};
}  // namespace

std::string sys_absolute_path(const char *name) {
  const QString native = QString::fromLocal8Bit(sys_native_path(name).c_str());
  return QDir::cleanPath(QDir::current().absoluteFilePath(native)).toLocal8Bit().toStdString();
}

std::FILE *sys_fopen(const char *name, const char *mode) {
  return std::fopen(NativeName(name).c_str(), mode);
}

int sys_open_read(const char *name) {
  int descriptor;
  do {
    descriptor = ::open(NativeName(name).c_str(), O_RDONLY | O_CLOEXEC);
  } while (descriptor < 0 && errno == EINTR);
  return descriptor;
}

long sys_read(int descriptor, char *buffer, std::size_t size) {
  ssize_t got;
  do {
    got = ::read(descriptor, buffer, size);
  } while (got < 0 && errno == EINTR);
  return static_cast<long>(got);
}

void sys_close(int descriptor) {
  if (descriptor >= 0) ::close(descriptor);
}

int sys_access(const char *name, int mode) { return ::access(NativeName(name).c_str(), mode); }

int sys_stat(const char *name, struct stat *status) { return ::stat(NativeName(name).c_str(), status); }

int sys_unlink(const char *name) { return ::unlink(NativeName(name).c_str()); }

int sys_rename(const char *from, const char *to) {
  return std::rename(NativeName(from).c_str(), NativeName(to).c_str());
}

bool sys_is_directory(const char *name) {
  struct stat st;
  return sys_stat(name, &st) == 0 && S_ISDIR(st.st_mode);
}

bool sys_is_regular_file(const char *name) {
  struct stat st;
  return sys_stat(name, &st) == 0 && S_ISREG(st.st_mode);
}

bool sys_read_directory(const char *name, std::vector<std::string> &entries) {
  entries.clear();
  DIR *d = ::opendir(NativeName(name).c_str());
  if (!d) return false;
  while (struct dirent *e = ::readdir(d)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    entries.emplace_back(e->d_name);
  }
  ::closedir(d);
  return true;
}

std::string sys_ctime_now() {
  std::time_t now = std::time(nullptr);
  char buffer[64];
  if (!ctime_r(&now, buffer)) return "\n";
  return buffer;
}

const char *sys_getenv(const char *name) { return std::getenv(name); }

void sys_tune_memory() {
#if defined(__GLIBC__)
  // A fixed threshold also turns the adaptive one off.
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  // The heap of small records grows, and keeps free at its top, steps of
  // 16 MiB: left at the default step, a file of many declarations grew it
  // hundreds of times and gave its top back and took it again in between,
  // at the cost of a page fault again for every page taken again. Larger
  // steps save a few faults more, but some systems then map pages ahead of
  // use and the resident size grows.
  mallopt(M_TOP_PAD, 16 * 1024 * 1024);
#endif
}
