#include "ssydat.h"

#include "mplatf.h"

void date_text(std::string &buffer) {
  buffer = sys_ctime_now();
  while (!buffer.empty() && (buffer.back() == '\n' || buffer.back() == '\r')) buffer.pop_back();
}
