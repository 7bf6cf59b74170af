// Handing calls to the main thread, and keeping it responsive while it waits.
//
// Worker threads that must run something on the main thread (event handlers
// of the GUI) queue it with CallInMainThread() and block until it ran. Every
// wait of the main thread for a worker runs ProcessPendingMessages() between
// its slices, so a worker blocked in CallInMainThread() can never dead-lock
// a main thread that waits for it.
#pragma once

#include <functional>

namespace platform {

// The main thread is the one that ran static initialisation, unless a
// program names another with SetMainThread() (call it before any worker
// starts).
void SetMainThread();
bool IsMainThread();

// On the main thread: calls fn directly. Elsewhere: queues fn, wakes the
// main thread and waits until the main thread has run it. Exceptions thrown
// by fn are rethrown in the caller.
void CallInMainThread(const std::function<void()>& fn);

// On the main thread: calls fn directly. Elsewhere: queues fn behind the
// calls queued before it, wakes the main thread and returns without waiting;
// an exception thrown by fn is dropped. For callers that may hold locks the
// main thread needs (the media libraries' log callback): they must not wait.
// The queue has no bound: such a caller cannot be made to wait for room.
void PostToMainThread(std::function<void()> fn);

// Runs every queued call (main thread only; elsewhere does nothing).
// Returns true when at least one call ran.
bool RunPendingMainThreadCalls();

// Runs the queued calls, then the registered message pump (the GUI's
// processEvents), once.
void ProcessPendingMessages();

// The GUI registers its pump; programs without one leave it empty.
void SetMessagePump(std::function<void()> pump);
// Called (from the queuing thread) whenever a call is queued, so that an
// event loop can wake up and run RunPendingMainThreadCalls().
void SetWakeUpHook(std::function<void()> hook);

// Waits on the main thread until done() is true, serving queued calls and
// the message pump every sliceMs milliseconds. Elsewhere it just polls.
void WaitServingMainThread(const std::function<bool()>& done, int sliceMs = 5);

// Ends the slice the main thread is sleeping in within
// WaitServingMainThread, so that it checks its condition at once. A thread
// that makes such a condition true calls it afterwards; otherwise the wait
// notices only when its slice ends. Touches nothing but the process-wide
// queue state, so it may follow a Set that lets the waiter free the caller's
// object.
void WakeMainThreadWait();

}  // namespace platform
