#include "platform/thread_priority.h"

#include <cerrno>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {
namespace {
id_t ThreadId() { return id_t(::syscall(SYS_gettid)); }
}  // namespace

int NicenessFor(TThreadPriority priority) {
  switch (priority) {
    case tpIdle:
      return 19;
    case tpLowest:
      return 15;
    case tpLower:
      return 10;
    case tpNormal:
      return 0;
    case tpHigher:
      return -5;
    case tpHighest:
      return -10;
    case tpTimeCritical:
      return -15;
  }
  return 0;
}

bool SetCurrentThreadPriority(int level) {
  if (level < tpIdle) level = tpIdle;
  if (level > tpTimeCritical) level = tpTimeCritical;
  const int nice = NicenessFor(TThreadPriority(level));
  if (::setpriority(PRIO_PROCESS, ThreadId(), nice) == 0) return true;
  if (nice < 0 && (errno == EPERM || errno == EACCES)) return ::setpriority(PRIO_PROCESS, ThreadId(), 0) == 0;
  return false;
}

int CurrentThreadNiceness() {
  errno = 0;
  return ::getpriority(PRIO_PROCESS, ThreadId());
}

}  // namespace platform
