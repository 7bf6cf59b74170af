// Thread priorities as niceness of the calling thread.
#pragma once

#include <vector>

namespace platform {

enum TThreadPriority : int {
  tpIdle,
  tpLowest,
  tpLower,
  tpNormal,
  tpHigher,
  tpHighest,
  tpTimeCritical,
};

// Niceness for a priority: idle 19, lowest 15, lower 10, normal 0; the
// higher ones ask for -5, -10 and -15.
int NicenessFor(TThreadPriority priority);

// Sets the calling thread's niceness for the priority (an ordinal of
// TThreadPriority; values outside the range are clamped). When the system
// does not allow the raise, a higher priority is set as normal. Returns
// false when even that is refused (an unprivileged thread cannot lower its
// niceness again once it raised it).
bool SetCurrentThreadPriority(int level);

// The calling thread's niceness.
int CurrentThreadNiceness();

// Kernel ids of this process's threads, ascending.
std::vector<int> ProcessThreadIds();
// The threads of this process now that are not in `before` (ascending).
std::vector<int> ThreadIdsNotIn(const std::vector<int>& before);
// Makes the calling thread, or the given threads of this process, `step`
// nicer than they are (at most 19). Threads that have ended are skipped.
void LowerCurrentThreadPriority(int step);
void LowerThreadsPriority(const std::vector<int>& threadIds, int step);

// Puts the given threads of this process in the idle scheduling class: they
// run only when a processor has nothing else to do, and a processor running
// only such threads counts as free when another thread wakes up. Without
// privileges a thread never leaves that class again, so use it for threads
// that end with the work they do. Threads that have ended are skipped.
void MoveThreadsToIdleClass(const std::vector<int>& threadIds);
// Whether the thread is in the idle scheduling class.
bool InIdleClass(int threadId);
// Whether this process may bring a thread back from the idle class
// (privileges, or a nice limit that allows it). Asked once, of a
// short-lived thread of its own.
bool CanLeaveIdleClass();
// Moves the given threads back to the normal class; they keep their
// niceness. False when one was refused; threads that have ended are skipped.
bool MoveThreadsOutOfIdleClass(const std::vector<int>& threadIds);
// Sets the calling thread's niceness; false when refused (a lower niceness
// than the thread had needs privileges).
bool SetCurrentThreadNiceness(int nice);
// The calling thread's kernel id.
int CurrentThreadId();

}  // namespace platform
