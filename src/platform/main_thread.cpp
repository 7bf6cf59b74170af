#include "platform/main_thread.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace platform {
namespace {

struct PendingCall {
  std::function<void()> fn;
  bool posted = false;  // nobody waits for it
  std::exception_ptr error;
  bool done = false;  // guarded by State::lock
};

struct State {
  std::mutex lock;
  std::condition_variable changed;             // a call was queued or finished, or a wait was woken
  uint64_t waitWakes = 0;                      // guarded by lock: WakeMainThreadWait calls so far
  std::deque<std::shared_ptr<PendingCall>> queue;  // guarded by lock
  std::function<void()> pump;                  // guarded by lock
  std::function<void()> wakeUp;                // guarded by lock
  std::atomic<std::thread::id> mainThread{std::this_thread::get_id()};
};

State& S() {
  static State* state = new State();  // used by threads until the process ends
  return *state;
}

// Captures the thread that runs static initialisation.
const bool kMainThreadCaptured = (S(), true);

// Queues a call and wakes whoever serves the queue; the wake-up hook runs
// after the lock is released.
void Enqueue(const std::shared_ptr<PendingCall>& call) {
  State& s = S();
  std::function<void()> wake;
  {
    std::lock_guard<std::mutex> guard(s.lock);
    s.queue.push_back(call);
    wake = s.wakeUp;
  }
  s.changed.notify_all();
  if (wake) wake();
}

}  // namespace

void SetMainThread() { S().mainThread = std::this_thread::get_id(); }

bool IsMainThread() { return std::this_thread::get_id() == S().mainThread; }

void CallInMainThread(const std::function<void()>& fn) {
  if (IsMainThread()) {
    fn();
    return;
  }
  auto call = std::make_shared<PendingCall>();
  call->fn = fn;
  Enqueue(call);
  State& s = S();
  std::unique_lock<std::mutex> guard(s.lock);
  s.changed.wait(guard, [&] { return call->done; });
  if (call->error) std::rethrow_exception(call->error);
}

void PostToMainThread(std::function<void()> fn) {
  if (IsMainThread()) {
    try {
      fn();
    } catch (...) {
    }
    return;
  }
  auto call = std::make_shared<PendingCall>();
  call->fn = std::move(fn);
  call->posted = true;
  Enqueue(call);
}

bool RunPendingMainThreadCalls() {
  if (!IsMainThread()) return false;
  State& s = S();
  bool ran = false;
  for (;;) {
    std::shared_ptr<PendingCall> call;
    {
      std::lock_guard<std::mutex> guard(s.lock);
      if (s.queue.empty()) break;
      call = s.queue.front();
      s.queue.pop_front();
    }
    try {
      call->fn();
    } catch (...) {
      if (!call->posted) call->error = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> guard(s.lock);
      call->done = true;
    }
    s.changed.notify_all();
    ran = true;
  }
  return ran;
}

void ProcessPendingMessages() {
  RunPendingMainThreadCalls();
  std::function<void()> pump;
  {
    std::lock_guard<std::mutex> guard(S().lock);
    pump = S().pump;
  }
  if (pump && IsMainThread()) pump();
}

void SetMessagePump(std::function<void()> pump) {
  std::lock_guard<std::mutex> guard(S().lock);
  S().pump = std::move(pump);
}

void SetWakeUpHook(std::function<void()> hook) {
  std::lock_guard<std::mutex> guard(S().lock);
  S().wakeUp = std::move(hook);
}

void WaitServingMainThread(const std::function<bool()>& done, int sliceMs) {
  const bool main = IsMainThread();
  State& s = S();
  for (;;) {
    // Read before done(): a wake after this reading ends the sleep below.
    uint64_t wakes;
    {
      std::lock_guard<std::mutex> guard(s.lock);
      wakes = s.waitWakes;
    }
    if (done()) break;
    if (main) {
      ProcessPendingMessages();
      if (done()) break;
      // Sleep until a call is queued, the wait is woken or the slice ends.
      std::unique_lock<std::mutex> guard(s.lock);
      s.changed.wait_for(guard, std::chrono::milliseconds(sliceMs),
                         [&] { return !s.queue.empty() || s.waitWakes != wakes; });
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(sliceMs));
    }
  }
}

void WakeMainThreadWait() {
  State& s = S();
  {
    std::lock_guard<std::mutex> guard(s.lock);
    ++s.waitWakes;
  }
  s.changed.notify_all();
}

}  // namespace platform
