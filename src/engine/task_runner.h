// The running side of one conversion task: its state flags, its worker
// thread, pausing and stopping, and the relays through which it reports to
// the component. TCustomFFmpeg (the transcoding context) derives from it and
// supplies the task body; TTranscoder drives tasks only through this API.
//
// Threads: StartConvert/StopConvert/Pause/Resume are called on the caller's
// (main) thread. The task body runs on the worker (or the caller's thread
// when not threaded) and calls StopRequested(), SafePoint() and the relays.
//
// A task is started at most once: either StartConvert runs it, or
// StopConvert on a task that never ran reports its end from a short-lived
// terminate thread. Both threads belong to the task and are joined when it
// is destroyed.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/engine_events.h"
#include "platform/event.h"

class TTaskRunner {
 public:
  TTaskRunner();
  TTaskRunner(const TTaskRunner&) = delete;
  TTaskRunner& operator=(const TTaskRunner&) = delete;
  virtual ~TTaskRunner();  // derived destructors call RequestStop(true) first

  // Index of the task in its component's list, for the event records.
  std::atomic<int32_t> TaskIndex{0};

  // ---- state (read from any thread) ----
  bool Running() const { return running_; }
  bool Terminated() const { return terminated_; }
  bool Finished() const { return finished_; }
  bool Exception() const { return exception_; }
  std::string ExceptionMsg() const;
  bool StopRequested() const { return stopRequested_; }
  bool Paused() const { return paused_; }

  // Microseconds between progress reports (ProgressInterval × 1000).
  std::atomic<int64_t> ReportInterval{500000};
  static constexpr int64_t kPreviewInterval = 100000;  // µs, fixed
  // Bit 0 preview window, bit 1 preview bitmap; guarded by PreviewLock().
  int PreviewFlags = 0;
  int64_t TotalDuration = -1;  // µs; -1 unknown
  int Verbose = 1;

  // ---- relays, set by the component before the task starts ----
  std::function<void(TTaskRunner&)> TerminateRelay;
  std::function<void(TTaskRunner&, const TProgressInfo&)> ProgressRelay;
  std::function<void(TTaskRunner&, const TPreviewInfo&)> PreviewRelay;
  // The relay fills in Update/StopHook of the record.
  std::function<void(TTaskRunner&, THookInfo&)> HookRelay;

  // ---- operations ----
  // Returns true when a worker thread was started (threaded mode). Not
  // threaded, the task body runs inside this call.
  bool StartConvert(bool threaded, TThreadPriority priority);
  void StopConvert(bool wait);
  void RequestStop(bool wait);
  void PauseConvert();
  void ResumeConvert();
  // Clears Running, sets Terminated and calls the terminate relay; a second
  // call does nothing, so a task reports its end exactly once.
  void DoTerminate();
  // Waits (serving main-thread calls) until the worker has ended.
  void WaitDone();

  // Files of the task, supplied by the transcoding context.
  virtual int InputCount() const = 0;
  virtual int OutputCount() const = 0;

  // Marks a handler of this task that runs while its worker waits for it
  // (delivered on the main thread). A stop with waiting requested from inside
  // such a handler cannot wait for the worker, which waits for the handler.
  class THandlerScope {
   public:
    explicit THandlerScope(TTaskRunner& task) : task_(task) { ++task_.handlerDepth_; }
    ~THandlerScope() { --task_.handlerDepth_; }
    THandlerScope(const THandlerScope&) = delete;
    THandlerScope& operator=(const THandlerScope&) = delete;

   private:
    TTaskRunner& task_;
  };

 protected:
  // ---- supplied by the transcoding context ----
  // The transcoding loop (mapping, codecs, loop, flush); throws FFmpegException.
  virtual void Transcode() = 0;
  // Closes every codec still open after a failure, under CodecLock().
  virtual void CloseCodecs() = 0;
  // Closes outputs (deleting empty ones) and inputs, frees buffers.
  virtual void ReleaseAll() = 0;

  // ---- for the task body ----
  // Called by the loop between packets: blocks while the task is paused and
  // returns when resumed or when a stop is requested. Holds no lock.
  void SafePoint();
  void SetException(const std::string& message);
  // For ResetTask of a task that has not started: clears Running,
  // StopRequested, Finished, Terminated, Exception and the message.
  void ResetRunState();
  // Whether the caller is this task's own worker thread (it ends with the task).
  bool OnWorkerThread() const;

 private:
  void Body();
  // Sleeps (serving the main thread when on it) until event is set.
  static void WaitServing(platform::Event& event);

  std::atomic<bool> running_{false};
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> exception_{false};
  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> paused_{false};
  std::atomic<int> handlerDepth_{0};

  // Guards exceptionMsg_, started_, worker_, terminateThread_ and the pause
  // wait. Never held while the task body, a relay or a handler runs.
  mutable std::mutex stateLock_;
  std::string exceptionMsg_;
  bool started_ = false;  // StartConvert or the never-started stop claimed the task
  std::condition_variable pauseChanged_;
  std::thread worker_;
  std::thread terminateThread_;
  platform::Event doneEvent_{true};  // reset while a worker runs
  // Reset while the terminate thread runs. Shared with that thread, which
  // sets it after DoTerminate: a handler may free the task from inside it.
  std::shared_ptr<platform::Event> terminateEvent_ = std::make_shared<platform::Event>(true);
};

// Process-wide lock over the tasks' preview flags.
std::mutex& PreviewLock();
