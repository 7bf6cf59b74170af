// The conversion engine as the application sees it: a list of tasks (one
// input file each, one or more outputs) that it runs one after another in
// the caller's thread, or on worker threads with a chosen number at once,
// reporting progress, preview pictures, per-frame hooks and the end of each
// task and of the whole batch through events.
//
// Threads. Every operation is called on the main thread. Workers call the
// relays: OnProgress and OnPreviewBitmap reach the main thread while the
// worker waits (TriggerEventInMainThread), OnCustomHook runs on the worker,
// OnTerminate runs on a short-lived delivery thread in threaded batches and
// on the reporting thread otherwise. The finishing worker starts the next
// task. Each delivery carries a record of its own, so handlers that run on
// the workers (OnCustomHook; OnProgress and OnPreviewBitmap without
// TriggerEventInMainThread) may run on several workers at once.
//
// Locks. No lock of the engine is held while it calls out: logging,
// handlers, CallInMainThread, starting or stopping a task. The one
// exception is the picture an OnCustomHook handler draws on, which stays
// locked for it (see TCustomHookEvent); nothing else takes that lock then.
// Lock order, each arrow "may be taken while holding":
//   batchLock_ → a task's stateLock_ (Pause, Resume)
//   batchLock_ → eventsLock_, terminateDelivery_'s queue lock
//   PreviewLock(), a task's filesLock_ → CodecLock(); otherwise taken alone.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/engine_events.h"
#include "engine/ffmpeg.h"
#include "engine/option_records.h"
#include "engine/terminate_thread.h"
#include "media/av_probe.h"
#include "media/component_base.h"

struct AVFormatContext;
class TCustomTranscoder;

// Runs on the worker with AHookInfo->Bitmap locked: draw on it without
// locking it again.
using TCustomHookEvent = std::function<void(TCustomTranscoder* Sender, PHookInfo AHookInfo)>;
using TPreviewBitmapEvent =
    std::function<void(TCustomTranscoder* Sender, const TPreviewInfo& APreviewInfo)>;
using TProgressEvent = std::function<void(TCustomTranscoder* Sender, PProgressInfo AProgressInfo)>;
using TTerminateEvent =
    std::function<void(TCustomTranscoder* Sender, const TTerminateInfo& ATerminateInfo)>;

class TCustomTranscoder : public TFFBaseComponent {
 public:
  // Output files one task accepts.
  static constexpr int kTaskFileCapacity = 20;

  TCustomTranscoder();
  ~TCustomTranscoder() override;

  // ---- libraries ----
  bool AVLibLoaded() const;
  // Loads the converter libraries from folder (empty: the system search).
  bool LoadAVLib(const std::wstring& folder);

  // ---- the task list ----
  // The new task's index, or -1 with LastErrMsg.
  int AddTask(const std::wstring& fileName, const TInputOptions* options = nullptr);
  // The task's opened input, or nullptr.
  const AVFormatContext* InputFormatContext(int taskIndex, int fileIndex) const;
  bool SetOutputFile(int taskIndex, const std::wstring& fileName,
                     const TOutputOptions* options = nullptr);
  void RemoveTask(int taskIndex);
  int TasksCount() const;
  // The transcoding context of a task, or nullptr.
  TFFmpeg* Task(int taskIndex) const;

  // ---- the batch ----
  // threadCount > 0: that many tasks run at once on worker threads and the
  // call returns at once. Otherwise every task runs here, one after another.
  void StartTask(int threadCount);
  void Pause();
  void Resume();
  // Nothing more starts; running tasks stop at their next loop check, tasks
  // never started report themselves as not finished.
  void Stop(bool wait);
  // Frees every task; raises while a batch runs and has not ended.
  void ClearTasks();

  std::string LastErrMsg() const { return lastErrMsg_; }
  bool Working() const;
  bool AllDone() const;
  // The probe created with the component.
  TAVProbe& AVProbe() { return probe_; }

 protected:
  // ---- properties ----
  const std::string& About() const { return about_; }
  void SetAbout(const std::string& about) { about_ = about; }
  std::string Version() const { return "3.3"; }
  bool Preview() const;
  void SetPreview(bool value);
  bool PreviewBitmap() const;
  void SetPreviewBitmap(bool value);
  int ProgressInterval() const { return progressInterval_; }
  // Milliseconds; 100 or less is stored as 100.
  void SetProgressInterval(int milliseconds);
  TThreadPriority ThreadPriority() const { return threadPriority_; }
  void SetThreadPriority(TThreadPriority priority) { threadPriority_ = priority; }
  bool TriggerEventInMainThread() const { return triggerEventInMainThread_; }
  void SetTriggerEventInMainThread(bool value) { triggerEventInMainThread_ = value; }

  // ---- events ----
  TCustomHookEvent OnCustomHook() const;
  void SetOnCustomHook(TCustomHookEvent handler);
  TPreviewBitmapEvent OnPreviewBitmap() const;
  void SetOnPreviewBitmap(TPreviewBitmapEvent handler);
  TProgressEvent OnProgress() const;
  void SetOnProgress(TProgressEvent handler);
  TTerminateEvent OnTerminate() const;
  void SetOnTerminate(TTerminateEvent handler);

  // Appends a task that is set up already and connects its relays; AddTask
  // uses it, and tests put tasks of their own in the list with it.
  int AppendTask(std::shared_ptr<TTaskRunner> task);
  // Routes the task's video hook through OnCustomHook.
  void ConnectHookRelay(TTaskRunner& task);
  // Makes the transcoding context of a new task (tests wrap its run).
  virtual std::unique_ptr<TFFmpeg> NewTask(int fileCapacity);

 private:
  void CheckNotWorking(const char* operation) const;
  int PreviewFlagBits() const;  // caller holds PreviewLock()
  void ApplyPreviewFlags();     // caller holds PreviewLock()

  // Relays called by the tasks.
  void RelayProgress(TTaskRunner& task, const TProgressInfo& info);
  void RelayPreview(TTaskRunner& task, const TPreviewInfo& info);
  void RelayHook(TTaskRunner& task, THookInfo& info);
  void RelayTerminate(TTaskRunner* task);
  // Runs handler on the main thread with the worker waiting, or directly.
  void Deliver(TTaskRunner& task, const std::function<void()>& handler);
  void DeliverTerminate(const TTerminateInfo& info);

  using TTaskPtr = TFFmpegList::TTaskPtr;

  // Batch bookkeeping; the caller holds batchLock_. Tasks to start are only
  // collected here: StartTaken starts them after the lock is released.
  // The next task to start (counted as started), or nullptr.
  TTaskPtr TakeNextLocked();
  void CountFinishedLocked(std::vector<TTaskPtr>& toStart);
  void BatchEndLocked();
  // Starts the tasks in order, outside every lock. A task that fails at its
  // start reports its end inside StartConvert, which may take further tasks:
  // those join this call's queue instead of nesting deeper.
  void StartTaken(std::vector<TTaskPtr> tasks, bool threaded);

  std::string about_;
  std::string lastErrMsg_;  // main thread only (ClearTasks clears it there too)
  std::atomic<int> progressInterval_{500};
  std::atomic<TThreadPriority> threadPriority_{tpNormal};
  std::atomic<bool> triggerEventInMainThread_{true};
  // Handlers running on the main thread for a waiting worker.
  std::atomic<int> mainThreadHandlers_{0};
  bool preview_ = false;         // guarded by PreviewLock()
  bool previewBitmap_ = false;   // guarded by PreviewLock()

  // Copied out under the lock and called after it is released.
  mutable std::mutex eventsLock_;
  TCustomHookEvent onCustomHook_;        // guarded by eventsLock_
  TPreviewBitmapEvent onPreviewBitmap_;  // guarded by eventsLock_
  TProgressEvent onProgress_;            // guarded by eventsLock_
  TTerminateEvent onTerminate_;          // guarded by eventsLock_

  // Guards the task list and the batch state below.
  mutable std::mutex batchLock_;
  // Changed on the main thread only, under batchLock_; the main thread
  // reads it without the lock, other threads under it.
  TFFmpegList tasks_;
  bool working_ = false;       // guarded by batchLock_
  bool allDone_ = false;       // guarded by batchLock_
  bool threadedMode_ = false;  // guarded by batchLock_
  int pendingCount_ = 0;       // guarded by batchLock_
  int nextIndex_ = -1;         // guarded by batchLock_
  int finishedCount_ = 0;      // guarded by batchLock_

  TDoTerminateThread terminateDelivery_;
  TAVProbe probe_;
};

class TTranscoder : public TCustomTranscoder {
 public:
  using TCustomTranscoder::About;
  using TCustomTranscoder::OnCustomHook;
  using TCustomTranscoder::OnPreviewBitmap;
  using TCustomTranscoder::OnProgress;
  using TCustomTranscoder::OnTerminate;
  using TCustomTranscoder::Preview;
  using TCustomTranscoder::PreviewBitmap;
  using TCustomTranscoder::ProgressInterval;
  using TCustomTranscoder::SetAbout;
  using TCustomTranscoder::SetOnCustomHook;
  using TCustomTranscoder::SetOnPreviewBitmap;
  using TCustomTranscoder::SetOnProgress;
  using TCustomTranscoder::SetOnTerminate;
  using TCustomTranscoder::SetPreview;
  using TCustomTranscoder::SetPreviewBitmap;
  using TCustomTranscoder::SetProgressInterval;
  using TCustomTranscoder::SetThreadPriority;
  using TCustomTranscoder::SetTriggerEventInMainThread;
  using TCustomTranscoder::ThreadPriority;
  using TCustomTranscoder::TriggerEventInMainThread;
  using TCustomTranscoder::Version;
};
