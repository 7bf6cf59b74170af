#include "engine/task_runner.h"

#include <exception>
#include <system_error>

#include "media/ffmpeg_logger.h"
#include "platform/main_thread.h"
#include "platform/thread_priority.h"

// A task's priority is handed to the platform by its ordinal.
static_assert(int(tpIdle) == int(platform::tpIdle) && int(tpNormal) == int(platform::tpNormal) &&
              int(tpTimeCritical) == int(platform::tpTimeCritical));

namespace {

// Slice of the stop wait; the main thread serves its queue between slices.
constexpr int kStopWaitSliceMs = 20;

std::string MessageOf(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown error";
  }
}

}  // namespace

std::mutex& PreviewLock() {
  static std::mutex* lock = new std::mutex();  // used by workers until the process ends
  return *lock;
}

TTaskRunner::TTaskRunner() = default;

TTaskRunner::~TTaskRunner() {
  RequestStop(true);
  WaitDone();
  std::thread terminateThread;
  {
    std::lock_guard<std::mutex> guard(stateLock_);
    terminateThread = std::move(terminateThread_);
  }
  if (!terminateThread.joinable()) return;
  if (terminateThread.get_id() == std::this_thread::get_id()) {
    // Freed by a handler running on the terminate thread itself: that
    // thread touches only its shared event after DoTerminate returns.
    terminateThread.detach();
    return;
  }
  WaitServing(*terminateEvent_);
  terminateThread.join();
}

std::string TTaskRunner::ExceptionMsg() const {
  std::lock_guard<std::mutex> guard(stateLock_);
  return exceptionMsg_;
}

void TTaskRunner::SetException(const std::string& message) {
  {
    std::lock_guard<std::mutex> guard(stateLock_);
    exceptionMsg_ = message;
  }
  exception_ = true;
}

void TTaskRunner::ResetRunState() {
  std::lock_guard<std::mutex> guard(stateLock_);
  if (started_) return;  // a task runs at most once; its report stands
  running_ = false;
  stopRequested_ = false;
  finished_ = false;
  terminated_ = false;
  exception_ = false;
  paused_ = false;
  exceptionMsg_.clear();
}

bool TTaskRunner::StartConvert(bool threaded, TThreadPriority priority) {
  {
    std::lock_guard<std::mutex> guard(stateLock_);
    if (started_ || running_ || terminated_) return false;
    started_ = true;
    // From here a stop with waiting waits for this start to play out.
    if (threaded) doneEvent_.Reset();
  }

  const char* missing = nullptr;
  if (OutputCount() <= 0)
    missing = "At least one output file must be specified";
  else if (InputCount() <= 0)
    missing = "At least one input file must be specified";
  if (missing) {
    try {
      ReleaseAll();
    } catch (const std::exception& e) {
      Log(this, llQuiet, e.what());
    }
    Log(this, llQuiet, missing);
    SetException(missing);
    DoTerminate();
    doneEvent_.Set();
    return false;
  }

  // A stop requested since the claim above is kept: the loop sees it at once.
  finished_ = false;
  paused_ = false;
  running_ = true;

  if (!threaded) {
    Body();
    return false;
  }

  std::string failure;
  {
    std::lock_guard<std::mutex> guard(stateLock_);
    try {
      worker_ = std::thread([this, priority] {
        // The engine's priorities are the platform's, in the same order: a
        // raise the system refuses leaves the worker at normal.
        platform::SetCurrentThreadPriority(int(priority));
        Body();
        doneEvent_.Set();
        // The main thread may be waiting for it in slices.
        platform::WakeMainThreadWait();
      });
    } catch (const std::system_error& e) {
      failure = e.what();
    }
  }
  if (failure.empty()) return true;
  // No thread: report the task as failed instead of leaving it running.
  Log(this, llQuiet, failure);
  SetException(failure);
  DoTerminate();
  doneEvent_.Set();
  return false;
}

void TTaskRunner::Body() {
  // Each step runs in its own guard, so the cleanup still happens after a
  // failure and the task always reports its end.
  auto guarded = [this](const std::function<void()>& step) {
    try {
      step();
    } catch (...) {
      const std::string message = MessageOf(std::current_exception());
      Log(this, llQuiet, message);
      SetException(message);
    }
  };
  guarded([this] {
    Transcode();
    finished_ = !stopRequested_;
  });
  guarded([this] { CloseCodecs(); });
  guarded([this] { ReleaseAll(); });
  guarded([this] { DoTerminate(); });
}

void TTaskRunner::DoTerminate() {
  if (terminated_.exchange(true)) return;
  running_ = false;
  paused_ = false;
  // A local copy: the relay's handlers may free this task before it returns.
  const std::function<void(TTaskRunner&)> relay = TerminateRelay;
  if (relay) relay(*this);
}

void TTaskRunner::StopConvert(bool wait) {
  {
    std::unique_lock<std::mutex> guard(stateLock_);
    if (!started_) {
      // Never started: claim the task and report its end from a
      // short-lived thread, outside the caller's locks and handlers.
      started_ = true;
      std::shared_ptr<platform::Event> done = terminateEvent_;
      done->Reset();
      try {
        terminateThread_ = std::thread([this, done] {
          try {
            DoTerminate();
          } catch (const std::exception& e) {
            Log(nullptr, llQuiet, e.what());
          }
          done->Set();
          platform::WakeMainThreadWait();
        });
      } catch (const std::system_error&) {
        done->Set();
        guard.unlock();
        DoTerminate();
        return;
      }
      guard.unlock();
      if (wait) WaitServing(*done);
      return;
    }
  }
  // Started (or starting right now on another thread) and not yet ended.
  if (!terminated_) RequestStop(wait);
}

void TTaskRunner::RequestStop(bool wait) {
  {
    std::lock_guard<std::mutex> guard(stateLock_);
    stopRequested_ = true;
  }
  pauseChanged_.notify_all();
  if (!wait) return;
  // The worker cannot end while it waits for the caller: from the worker
  // itself, or from a handler of this task that the worker is blocked on.
  if (OnWorkerThread()) return;
  if (handlerDepth_ > 0 && platform::IsMainThread()) return;
  WaitServing(doneEvent_);
}

void TTaskRunner::WaitDone() {
  if (OnWorkerThread()) return;
  WaitServing(doneEvent_);
  std::thread worker;
  {
    std::lock_guard<std::mutex> guard(stateLock_);
    worker = std::move(worker_);
  }
  if (worker.joinable()) worker.join();
}

void TTaskRunner::PauseConvert() {
  std::lock_guard<std::mutex> guard(stateLock_);
  if (worker_.joinable() && running_) paused_ = true;
}

void TTaskRunner::ResumeConvert() {
  {
    std::lock_guard<std::mutex> guard(stateLock_);
    if (!paused_) return;
    paused_ = false;
  }
  pauseChanged_.notify_all();
}

void TTaskRunner::SafePoint() {
  if (!paused_) return;
  std::unique_lock<std::mutex> guard(stateLock_);
  pauseChanged_.wait(guard, [this] { return !paused_ || stopRequested_; });
}

void TTaskRunner::WaitServing(platform::Event& event) {
  if (event.IsSet()) return;
  if (platform::IsMainThread())
    platform::WaitServingMainThread([&event] { return event.IsSet(); }, kStopWaitSliceMs);
  else
    event.Wait();
}

bool TTaskRunner::OnWorkerThread() const {
  // A thread id is not reused before the thread is joined, which only the
  // owner does, so a match means the caller is this task's worker.
  std::lock_guard<std::mutex> guard(stateLock_);
  return worker_.joinable() && worker_.get_id() == std::this_thread::get_id();
}
