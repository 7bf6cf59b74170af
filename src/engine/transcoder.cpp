#include "engine/transcoder.h"

#include <cstdio>
#include <deque>
#include <iterator>
#include <stdexcept>
#include <utility>
#include <vector>

#include "media/bitmap.h"
#include "media/ffmpeg_loader.h"
#include "media/ffmpeg_logger.h"
#include "platform/code_page.h"
#include "platform/main_thread.h"

namespace {

std::string Format(const char* format, const char* name) {
  char text[128];
  std::snprintf(text, sizeof text, format, name);
  return text;
}

// The StartTaken loop running on this thread, if any: the component it
// starts tasks for and its queue.
struct TStartLoop {
  const void* owner = nullptr;
  std::deque<std::shared_ptr<TTaskRunner>>* queue = nullptr;
};
thread_local TStartLoop tStartLoop;

// Destroys tasks one after another in list order: a task's worker may be
// starting a later task of the list, which must outlive that worker.
void DestroyInOrder(std::vector<std::shared_ptr<TTaskRunner>>& tasks) {
  for (auto& task : tasks) task.reset();
  tasks.clear();
}

}  // namespace

TCustomTranscoder::TCustomTranscoder()
    : terminateDelivery_([this](const TTerminateInfo& info) { DeliverTerminate(info); }) {}

TCustomTranscoder::~TCustomTranscoder() {
  // Whoever owned the handlers is going away with us: nothing is reported
  // any more while the tasks stop.
  {
    std::lock_guard<std::mutex> guard(eventsLock_);
    onCustomHook_ = nullptr;
    onPreviewBitmap_ = nullptr;
    onProgress_ = nullptr;
    onTerminate_ = nullptr;
  }
  std::vector<TTaskPtr> tasks;
  {
    std::lock_guard<std::mutex> guard(batchLock_);
    pendingCount_ = 0;
    tasks = tasks_.TakeAll();
  }
  DestroyInOrder(tasks);  // each task stops and waits for its worker
  terminateDelivery_.WaitIdle();
}

// ---------------------------------------------------------------- libraries

bool TCustomTranscoder::AVLibLoaded() const {
  return FFLoader().LibrariesLoaded(kConverterLibraries);
}

bool TCustomTranscoder::LoadAVLib(const std::wstring& folder) {
  TFFmpegLoader& loader = FFLoader();
  loader.SetLibraryPath(platform::Utf8(folder));
  if (loader.LoadLibraries(kConverterLibraries)) return true;
  lastErrMsg_ = loader.LastError();
  return false;
}

// ---------------------------------------------------------------- properties

bool TCustomTranscoder::Preview() const {
  std::lock_guard<std::mutex> guard(PreviewLock());
  return preview_;
}

void TCustomTranscoder::SetPreview(bool value) {
  {
    std::lock_guard<std::mutex> guard(PreviewLock());
    preview_ = value;
    ApplyPreviewFlags();
  }
  if (value) return;
  // Clearing the flag closes the windows. Not under PreviewLock(): closing
  // goes through the main thread (us), and the video path takes that lock.
  // The tasks are held: a handler run meanwhile may clear the list.
  std::vector<TTaskPtr> tasks;
  for (int i = 0; i < tasks_.Count(); ++i) tasks.push_back(tasks_.Shared(i));
  for (const TTaskPtr& task : tasks)
    if (auto* ffmpeg = dynamic_cast<TFFmpeg*>(task.get())) ffmpeg->ClosePreviewWindow();
}

bool TCustomTranscoder::PreviewBitmap() const {
  std::lock_guard<std::mutex> guard(PreviewLock());
  return previewBitmap_;
}

void TCustomTranscoder::SetPreviewBitmap(bool value) {
  std::lock_guard<std::mutex> guard(PreviewLock());
  previewBitmap_ = value;
  ApplyPreviewFlags();
}

int TCustomTranscoder::PreviewFlagBits() const {
  return (preview_ ? kPreviewWindowFlag : 0) | (previewBitmap_ ? kPreviewBitmapFlag : 0);
}

void TCustomTranscoder::ApplyPreviewFlags() {
  // The list changes on the main thread only, which is the caller here.
  const int bits = PreviewFlagBits();
  for (int i = 0; i < tasks_.Count(); ++i) tasks_.Task(i).PreviewFlags = bits;
}

void TCustomTranscoder::SetProgressInterval(int milliseconds) {
  progressInterval_ = milliseconds <= 100 ? 100 : milliseconds;
}

TCustomHookEvent TCustomTranscoder::OnCustomHook() const {
  std::lock_guard<std::mutex> guard(eventsLock_);
  return onCustomHook_;
}
void TCustomTranscoder::SetOnCustomHook(TCustomHookEvent handler) {
  std::lock_guard<std::mutex> guard(eventsLock_);
  onCustomHook_ = std::move(handler);
}
TPreviewBitmapEvent TCustomTranscoder::OnPreviewBitmap() const {
  std::lock_guard<std::mutex> guard(eventsLock_);
  return onPreviewBitmap_;
}
void TCustomTranscoder::SetOnPreviewBitmap(TPreviewBitmapEvent handler) {
  std::lock_guard<std::mutex> guard(eventsLock_);
  onPreviewBitmap_ = std::move(handler);
}
TProgressEvent TCustomTranscoder::OnProgress() const {
  std::lock_guard<std::mutex> guard(eventsLock_);
  return onProgress_;
}
void TCustomTranscoder::SetOnProgress(TProgressEvent handler) {
  std::lock_guard<std::mutex> guard(eventsLock_);
  onProgress_ = std::move(handler);
}
TTerminateEvent TCustomTranscoder::OnTerminate() const {
  std::lock_guard<std::mutex> guard(eventsLock_);
  return onTerminate_;
}
void TCustomTranscoder::SetOnTerminate(TTerminateEvent handler) {
  std::lock_guard<std::mutex> guard(eventsLock_);
  onTerminate_ = std::move(handler);
}

// ---------------------------------------------------------------- task list

void TCustomTranscoder::CheckNotWorking(const char* operation) const {
  std::lock_guard<std::mutex> guard(batchLock_);
  if (working_) throw std::runtime_error(Format("Cannot %s while working.", operation));
}

bool TCustomTranscoder::Working() const {
  std::lock_guard<std::mutex> guard(batchLock_);
  return working_;
}

bool TCustomTranscoder::AllDone() const {
  std::lock_guard<std::mutex> guard(batchLock_);
  return allDone_;
}

int TCustomTranscoder::TasksCount() const {
  std::lock_guard<std::mutex> guard(batchLock_);
  return tasks_.Count();
}

TFFmpeg* TCustomTranscoder::Task(int taskIndex) const {
  std::lock_guard<std::mutex> guard(batchLock_);
  return tasks_.FFmpeg(taskIndex);
}

int TCustomTranscoder::AppendTask(std::shared_ptr<TTaskRunner> task) {
  {
    std::lock_guard<std::mutex> guard(PreviewLock());
    task->PreviewFlags = PreviewFlagBits();
  }
  task->PreviewRelay = [this](TTaskRunner& t, const TPreviewInfo& info) { RelayPreview(t, info); };
  task->ProgressRelay = [this](TTaskRunner& t, const TProgressInfo& info) { RelayProgress(t, info); };
  task->TerminateRelay = [this](TTaskRunner& t) { RelayTerminate(&t); };
  std::lock_guard<std::mutex> guard(batchLock_);
  return tasks_.Add(std::move(task));
}

std::unique_ptr<TFFmpeg> TCustomTranscoder::NewTask(int fileCapacity) {
  return std::make_unique<TFFmpeg>(fileCapacity);
}

void TCustomTranscoder::ConnectHookRelay(TTaskRunner& task) {
  task.HookRelay = [this](TTaskRunner& t, THookInfo& info) { RelayHook(t, info); };
}

int TCustomTranscoder::AddTask(const std::wstring& fileName, const TInputOptions* options) {
  CheckNotWorking("AddTask");
  if (!AVLibLoaded()) {
    // Every step below calls into the libraries.
    lastErrMsg_ = "The media libraries are not loaded";
    Log(this, llError, lastErrMsg_);
    return -1;
  }
  try {
    std::unique_ptr<TFFmpeg> task = NewTask(kTaskFileCapacity);
    task->ResetTask();
    task->Verbose = 1;
    const int inputIndex = task->InputCount();
    if (options) {
      TInputOptions record = *options;
      if (record.FileName.empty()) record.FileName = fileName;
      task->ApplyInputOptions(task->StoreInputOptions(inputIndex, record));
    }
    if (!task->OpenInputFile(fileName)) {
      lastErrMsg_ = task->LastOpenError();
      return -1;
    }
    task->AttachProbe(inputIndex);
    return AppendTask(std::move(task));
  } catch (const std::exception& e) {
    lastErrMsg_ = e.what();
    return -1;
  }
}

const AVFormatContext* TCustomTranscoder::InputFormatContext(int taskIndex, int fileIndex) const {
  TFFmpeg* task = Task(taskIndex);
  return task ? task->InputFormatContext(fileIndex) : nullptr;
}

bool TCustomTranscoder::SetOutputFile(int taskIndex, const std::wstring& fileName,
                                      const TOutputOptions* options) {
  CheckNotWorking("SetOutputFile");
  TTaskRunner* runner = nullptr;
  TFFmpeg* task = nullptr;
  {
    std::lock_guard<std::mutex> guard(batchLock_);
    if (tasks_.ValidIndex(taskIndex)) {
      runner = &tasks_.Task(taskIndex);
      task = tasks_.FFmpeg(taskIndex);
    }
  }
  if (!runner) {
    char text[64];
    std::snprintf(text, sizeof text, "Task index %d out of range", taskIndex);
    lastErrMsg_ = text;
    return false;
  }
  const int outputIndex = runner->OutputCount();
  if (outputIndex >= kTaskFileCapacity) {
    char text[64];
    std::snprintf(text, sizeof text, "max output files %d reached", kTaskFileCapacity);
    lastErrMsg_ = text;
    return false;
  }
  if (!task) {
    lastErrMsg_ = "The task cannot take output files";
    return false;
  }
  try {
    const TOutputOptions* record = nullptr;
    if (options) {
      TOutputOptions copy = *options;
      if (copy.FileName.empty()) copy.FileName = fileName;
      record = &task->StoreOutputOptions(outputIndex, copy);
      task->ApplyOutputOptions(*record);
      if (record->CustomHook) ConnectHookRelay(*task);
    } else {
      task->ClearOutputOptions(outputIndex);
    }
    if (task->OpenOutputFile(fileName, record && record->Join) < 0) {
      lastErrMsg_ = task->LastOpenError();
      task->ClearOutputOptions(outputIndex);
      return false;
    }
    if (record) task->CreateExtraStreams(*record);
    return true;
  } catch (const std::exception& e) {
    lastErrMsg_ = e.what();
    // A record of an output that was not added must not describe the next one.
    if (task->OutputCount() <= outputIndex) task->ClearOutputOptions(outputIndex);
    return false;
  }
}

void TCustomTranscoder::RemoveTask(int taskIndex) {
  CheckNotWorking("RemoveTask");
  TTaskPtr task;
  {
    std::lock_guard<std::mutex> guard(batchLock_);
    if (!tasks_.ValidIndex(taskIndex)) return;
    task = tasks_.Extract(taskIndex);
  }
}

void TCustomTranscoder::ClearTasks() {
  std::vector<TTaskPtr> tasks;
  {
    std::lock_guard<std::mutex> guard(batchLock_);
    if (working_ && !allDone_) throw std::runtime_error("Cannot ClearTasks while working.");
    tasks = tasks_.TakeAll();
    lastErrMsg_.clear();
    finishedCount_ = 0;
    nextIndex_ = -1;
    pendingCount_ = 0;
    allDone_ = false;
    threadedMode_ = false;
    working_ = false;
  }
  // Outside the lock: a finishing worker may still be reporting. A task
  // that someone still holds (a Stop waiting further up this thread's
  // stack, a worker about to start it) goes when that holder lets go.
  DestroyInOrder(tasks);
}

// ---------------------------------------------------------------- the batch

void TCustomTranscoder::StartTask(int threadCount) {
  CheckNotWorking("StartTask");
  const bool threaded = threadCount > 0;
  std::vector<TTaskPtr> toStart;
  {
    std::lock_guard<std::mutex> guard(batchLock_);
    finishedCount_ = 0;
    nextIndex_ = 0;
    pendingCount_ = tasks_.Count();
    allDone_ = false;
    threadedMode_ = threaded;
    working_ = true;
    // An empty list ends at once instead of staying "working" for ever.
    if (tasks_.Count() == 0) BatchEndLocked();
    for (int n = threadCount; threaded && n > 0; --n) {
      TTaskPtr task = TakeNextLocked();
      if (!task) break;
      toStart.push_back(std::move(task));
    }
  }
  if (threaded) {
    StartTaken(std::move(toStart), true);
  } else {
    // One after another in this thread (a finished task starts the next one
    // only in threaded batches).
    for (;;) {
      TTaskPtr task;
      {
        std::lock_guard<std::mutex> guard(batchLock_);
        task = TakeNextLocked();
      }
      if (!task) break;
      task->StartConvert(false, threadPriority_);
    }
  }
  terminateDelivery_.Flush(threaded);
}

TCustomTranscoder::TTaskPtr TCustomTranscoder::TakeNextLocked() {
  while (pendingCount_ > 0) {
    --pendingCount_;
    const int index = nextIndex_++;
    if (!tasks_.ValidIndex(index)) continue;
    TTaskRunner& task = tasks_.Task(index);
    if (task.Terminated()) {
      // Reported its end before the batch (stopped before the start): it
      // counts as done and the next one takes its turn, here, so that no
      // more tasks run at once than the batch asked for.
      ++finishedCount_;
      if (pendingCount_ < 1 && finishedCount_ >= tasks_.Count()) BatchEndLocked();
      continue;
    }
    task.ReportInterval = int64_t(progressInterval_) * 1000;
    return tasks_.Shared(index);
  }
  return nullptr;
}

void TCustomTranscoder::CountFinishedLocked(std::vector<TTaskPtr>& toStart) {
  ++finishedCount_;
  if (pendingCount_ < 1) {
    if (finishedCount_ >= tasks_.Count()) BatchEndLocked();
  } else if (threadedMode_) {
    if (TTaskPtr task = TakeNextLocked()) toStart.push_back(std::move(task));
  }
}

void TCustomTranscoder::StartTaken(std::vector<TTaskPtr> tasks, bool threaded) {
  if (tasks.empty()) return;
  if (tStartLoop.owner == this) {
    // Inside StartTaken further up this thread: a task that failed at its
    // start took these; the outer loop starts them after it.
    for (TTaskPtr& task : tasks) tStartLoop.queue->push_back(std::move(task));
    return;
  }
  std::deque<TTaskPtr> queue(std::make_move_iterator(tasks.begin()), std::make_move_iterator(tasks.end()));
  struct LoopScope {
    TStartLoop saved = tStartLoop;
    LoopScope(const void* owner, std::deque<TTaskPtr>* q) { tStartLoop = TStartLoop{owner, q}; }
    ~LoopScope() { tStartLoop = saved; }
  } scope(this, &queue);
  while (!queue.empty()) {
    TTaskPtr task = std::move(queue.front());
    queue.pop_front();
    // A task claimed meanwhile by a stop does not start; its end is
    // reported by the stop.
    task->StartConvert(threaded, threadPriority_);
  }
}

void TCustomTranscoder::BatchEndLocked() {
  if (allDone_) return;
  // Set before the event goes out, so that its handler may clear the tasks.
  allDone_ = true;
  if (OnTerminate()) terminateDelivery_.Post(TTerminateInfo{-1, true, false, std::string()});
}

void TCustomTranscoder::Pause() {
  std::lock_guard<std::mutex> guard(batchLock_);
  for (int i = 0; i < tasks_.Count(); ++i) tasks_.Task(i).PauseConvert();
}

void TCustomTranscoder::Resume() {
  std::lock_guard<std::mutex> guard(batchLock_);
  for (int i = 0; i < tasks_.Count(); ++i) tasks_.Task(i).ResumeConvert();
}

void TCustomTranscoder::Stop(bool wait) {
  // Inside a handler that a worker waits for, waiting for the workers could
  // never end: that worker waits for us. The stop is requested all the same.
  if (wait && mainThreadHandlers_ > 0 && platform::IsMainThread()) wait = false;
  std::vector<TTaskPtr> tasks;
  {
    std::lock_guard<std::mutex> guard(batchLock_);
    pendingCount_ = 0;
    for (int i = 0; i < tasks_.Count(); ++i) tasks.push_back(tasks_.Shared(i));
  }
  // Outside the lock: the workers report their end while we wait for them.
  // The wait serves main-thread calls, and a batch-end handler among them
  // may clear the list: our references keep the tasks alive until we are
  // done with them, and the last one destroys them here, in list order.
  for (const TTaskPtr& task : tasks) task->StopConvert(wait);
  DestroyInOrder(tasks);
}

// ---------------------------------------------------------------- relays

void TCustomTranscoder::Deliver(TTaskRunner& task, const std::function<void()>& handler) {
  if (triggerEventInMainThread_ && !platform::IsMainThread()) {
    platform::CallInMainThread([&] {
      struct Depth {
        std::atomic<int>& n;
        explicit Depth(std::atomic<int>& c) : n(c) { ++n; }
        ~Depth() { --n; }
      } depth(mainThreadHandlers_);
      TTaskRunner::THandlerScope scope(task);
      handler();
    });
  } else {
    handler();
  }
}

// Each delivery fills a record of its own on the worker's stack: it stays
// valid while the worker waits for the handler, and no lock is held while
// the handler runs.
void TCustomTranscoder::RelayProgress(TTaskRunner& task, const TProgressInfo& info) {
  const TProgressEvent handler = OnProgress();
  if (!handler) return;
  TProgressInfo record = info;
  record.TaskIndex = task.TaskIndex;
  Deliver(task, [&] { handler(this, &record); });
}

void TCustomTranscoder::RelayPreview(TTaskRunner& task, const TPreviewInfo& info) {
  const TPreviewBitmapEvent handler = OnPreviewBitmap();
  if (!handler) return;
  TPreviewInfo record = info;
  record.TaskIndex = task.TaskIndex;
  Deliver(task, [&] { handler(this, record); });
}

void TCustomTranscoder::RelayHook(TTaskRunner& task, THookInfo& info) {
  const TCustomHookEvent handler = OnCustomHook();
  if (!handler) return;
  THookInfo record = info;
  record.TaskIndex = task.TaskIndex;
  std::string failure;
  {
    // The bitmap stays locked while the handler draws on it (on the
    // worker), so the handler must not lock it again. It is the task's own
    // picture: no other thread takes its lock meanwhile.
    std::unique_lock<TBitmap> canvas;
    if (record.Bitmap) canvas = std::unique_lock<TBitmap>(*record.Bitmap);
    try {
      handler(this, &record);
    } catch (const std::exception& e) {
      failure = std::string("Error occurs OnCustomHook: ") + e.what();
    } catch (...) {
      failure = "Error occurs OnCustomHook: unknown error";
    }
  }
  if (!failure.empty()) {
    Log(this, llError, failure);  // after the picture's lock is released
    record.Update = false;
  }
  info.Update = record.Update;
  info.StopHook = record.StopHook;
}

void TCustomTranscoder::RelayTerminate(TTaskRunner* task) {
  bool threaded;
  std::vector<TTaskPtr> toStart;
  {
    std::lock_guard<std::mutex> guard(batchLock_);
    if (task) {
      if (OnTerminate())
        terminateDelivery_.Post(
            TTerminateInfo{task->TaskIndex, task->Finished(), task->Exception(), task->ExceptionMsg()});
      CountFinishedLocked(toStart);
    } else {
      BatchEndLocked();
    }
    threaded = threadedMode_;
  }
  // Handlers run outside the lock, in the order the records were queued;
  // then the next task starts, also outside the lock (starting may log, and
  // a log line may wait for the main thread, which may want batchLock_).
  terminateDelivery_.Flush(threaded);
  StartTaken(std::move(toStart), threaded);
}

void TCustomTranscoder::DeliverTerminate(const TTerminateInfo& info) {
  const TTerminateEvent handler = OnTerminate();
  if (handler) handler(this, info);
}
