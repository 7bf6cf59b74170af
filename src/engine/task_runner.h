// The running side of one conversion task: its state flags, its worker
// thread, pausing and stopping, and the relays through which it reports to
// the component. TCustomFFmpeg (the transcoding context) derives from it and
// supplies the task body; TTranscoder drives tasks only through this API.
//
// Threads: StartConvert/StopConvert/Pause/Resume are called on the caller's
// (main) thread. The task body runs on the worker (or the caller's thread
// when not threaded) and calls StopRequested(), SafePoint() and the relays.
#pragma once

#include <atomic>
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
  virtual ~TTaskRunner();  // derived destructors call RequestStop(true) first

  // Index of the task in its component's list, for the event records.
  int32_t TaskIndex = 0;

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

  // ---- relays, set by the component ----
  std::function<void(TTaskRunner&)> TerminateRelay;
  std::function<void(TTaskRunner&, const TProgressInfo&)> ProgressRelay;
  std::function<void(TTaskRunner&, const TPreviewInfo&)> PreviewRelay;
  // The relay fills in Update/StopHook of the record.
  std::function<void(TTaskRunner&, THookInfo&)> HookRelay;

  // ---- operations ----
  // Returns true when a worker thread was started (threaded mode).
  bool StartConvert(bool threaded, TThreadPriority priority);
  void StopConvert(bool wait);
  void RequestStop(bool wait);
  void PauseConvert();
  void ResumeConvert();
  void DoTerminate();
  // Waits (serving main-thread calls) until the worker has ended.
  void WaitDone();

 protected:
  // ---- supplied by the transcoding context ----
  virtual int InputCount() const = 0;
  virtual int OutputCount() const = 0;
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

 private:
  void Body();

  std::atomic<bool> running_{false};
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> exception_{false};
  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> paused_{false};
  mutable std::mutex stateLock_;  // guards exceptionMsg_, worker_, the pause wait
  std::string exceptionMsg_;
  std::condition_variable pauseChanged_;
  std::thread worker_;
  platform::Event doneEvent_{true};
  platform::Event terminateEvent_{true};
};

// Process-wide lock over the tasks' preview flags.
std::mutex& PreviewLock();
