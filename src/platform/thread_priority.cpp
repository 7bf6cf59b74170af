#include "platform/thread_priority.h"

#include <dirent.h>
#include <sched.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <iterator>
#include <system_error>
#include <thread>
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

std::vector<int> ProcessThreadIds() {
  std::vector<int> ids;
  DIR* dir = ::opendir("/proc/self/task");
  if (!dir) return ids;
  while (const dirent* entry = ::readdir(dir)) {
    char* end = nullptr;
    const long id = std::strtol(entry->d_name, &end, 10);
    if (end != entry->d_name && *end == '\0' && id > 0) ids.push_back(int(id));
  }
  ::closedir(dir);
  std::sort(ids.begin(), ids.end());
  return ids;
}

std::vector<int> ThreadIdsNotIn(const std::vector<int>& before) {
  std::vector<int> sorted = before;
  std::sort(sorted.begin(), sorted.end());
  std::vector<int> fresh;
  const std::vector<int> now = ProcessThreadIds();
  std::set_difference(now.begin(), now.end(), sorted.begin(), sorted.end(), std::back_inserter(fresh));
  return fresh;
}

namespace {
void LowerThread(id_t id, int step) {
  errno = 0;
  const int nice = ::getpriority(PRIO_PROCESS, id);
  if (nice == -1 && errno != 0) return;  // ended meanwhile
  ::setpriority(PRIO_PROCESS, id, std::min(19, nice + std::max(step, 0)));
}
}  // namespace

void LowerCurrentThreadPriority(int step) { LowerThread(ThreadId(), step); }

void LowerThreadsPriority(const std::vector<int>& threadIds, int step) {
  for (int id : threadIds) LowerThread(id_t(id), step);
}

void MoveThreadsToIdleClass(const std::vector<int>& threadIds) {
  const sched_param param{};
  for (int id : threadIds) ::sched_setscheduler(pid_t(id), SCHED_IDLE, &param);  // ESRCH: ended
}

bool InIdleClass(int threadId) { return ::sched_getscheduler(pid_t(threadId)) == SCHED_IDLE; }

bool CanLeaveIdleClass() {
  static const bool can = [] {
    bool left = false;
    try {
      // The probe's thread ends with the question: a refusal strands only it.
      std::thread probe([&left] {
        const sched_param param{};
        if (::sched_setscheduler(0, SCHED_IDLE, &param) != 0) return;
        left = ::sched_setscheduler(0, SCHED_OTHER, &param) == 0;
      });
      probe.join();
    } catch (const std::system_error&) {
    }
    return left;
  }();
  return can;
}

bool MoveThreadsOutOfIdleClass(const std::vector<int>& threadIds) {
  const sched_param param{};
  bool all = true;
  for (int id : threadIds)
    if (::sched_setscheduler(pid_t(id), SCHED_OTHER, &param) != 0 && errno != ESRCH) all = false;
  return all;
}

bool SetCurrentThreadNiceness(int nice) { return ::setpriority(PRIO_PROCESS, ThreadId(), nice) == 0; }

int CurrentThreadId() { return int(ThreadId()); }

}  // namespace platform
