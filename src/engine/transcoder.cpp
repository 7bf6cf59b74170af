#include "engine/transcoder.h"

#include <cstdio>
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
  std::vector<std::unique_ptr<TTaskRunner>> tasks;
  {
    std::lock_guard<std::recursive_mutex> guard(batchLock_);
    pendingCount_ = 0;
    tasks = tasks_.TakeAll();
  }
  tasks.clear();  // each task stops and waits for its worker
  terminateDelivery_.WaitIdle();
  // The relay locks are free once every worker has ended.
  std::lock_guard<std::mutex> hook(hookLock_);
  std::lock_guard<std::mutex> preview(previewLock_);
  std::lock_guard<std::mutex> progress(progressLock_);
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
  for (int i = 0; i < tasks_.Count(); ++i)
    if (TFFmpeg* task = tasks_.FFmpeg(i)) task->ClosePreviewWindow();
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
  std::lock_guard<std::recursive_mutex> guard(batchLock_);
  if (working_) throw std::runtime_error(Format("Cannot %s while working.", operation));
}

bool TCustomTranscoder::Working() const {
  std::lock_guard<std::recursive_mutex> guard(batchLock_);
  return working_;
}

bool TCustomTranscoder::AllDone() const {
  std::lock_guard<std::recursive_mutex> guard(batchLock_);
  return allDone_;
}

int TCustomTranscoder::TasksCount() const {
  std::lock_guard<std::recursive_mutex> guard(batchLock_);
  return tasks_.Count();
}

TFFmpeg* TCustomTranscoder::Task(int taskIndex) const {
  std::lock_guard<std::recursive_mutex> guard(batchLock_);
  return tasks_.FFmpeg(taskIndex);
}

int TCustomTranscoder::AppendTask(std::unique_ptr<TTaskRunner> task) {
  {
    std::lock_guard<std::mutex> guard(PreviewLock());
    task->PreviewFlags = PreviewFlagBits();
  }
  task->PreviewRelay = [this](TTaskRunner& t, const TPreviewInfo& info) { RelayPreview(t, info); };
  task->ProgressRelay = [this](TTaskRunner& t, const TProgressInfo& info) { RelayProgress(t, info); };
  task->TerminateRelay = [this](TTaskRunner& t) { RelayTerminate(&t); };
  std::lock_guard<std::recursive_mutex> guard(batchLock_);
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
    std::lock_guard<std::recursive_mutex> guard(batchLock_);
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
  std::unique_ptr<TTaskRunner> task;
  {
    std::lock_guard<std::recursive_mutex> guard(batchLock_);
    if (!tasks_.ValidIndex(taskIndex)) return;
    task = tasks_.Extract(taskIndex);
  }
}

void TCustomTranscoder::ClearTasks() {
  std::vector<std::unique_ptr<TTaskRunner>> tasks;
  {
    std::lock_guard<std::recursive_mutex> guard(batchLock_);
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
  tasks.clear();  // outside the lock: a finishing worker may still be reporting
}

// ---------------------------------------------------------------- the batch

void TCustomTranscoder::StartTask(int threadCount) {
  CheckNotWorking("StartTask");
  const bool threaded = threadCount > 0;
  {
    std::lock_guard<std::recursive_mutex> guard(batchLock_);
    finishedCount_ = 0;
    nextIndex_ = 0;
    pendingCount_ = tasks_.Count();
    allDone_ = false;
    threadedMode_ = threaded;
    working_ = true;
    // An empty list ends at once instead of staying "working" for ever.
    if (tasks_.Count() == 0) BatchEndLocked();
    for (int n = threadCount; threaded && n > 0 && pendingCount_ > 0; --n)
      StartNextThreadedLocked();
  }
  if (!threaded) {
    for (;;) {
      TTaskRunner* task;
      {
        std::lock_guard<std::recursive_mutex> guard(batchLock_);
        task = TakeNextLocked();
      }
      if (!task) break;
      task->StartConvert(false, threadPriority_);
    }
  }
  terminateDelivery_.Flush(threaded);
}

TTaskRunner* TCustomTranscoder::TakeNextLocked() {
  while (pendingCount_ > 0) {
    --pendingCount_;
    const int index = nextIndex_++;
    if (!tasks_.ValidIndex(index)) continue;
    TTaskRunner& task = tasks_.Task(index);
    if (task.Terminated()) {
      // Reported its end before the batch (stopped before the start): it
      // counts as done and the next one takes its turn.
      CountFinishedLocked();
      continue;
    }
    task.ReportInterval = int64_t(progressInterval_) * 1000;
    return &task;
  }
  return nullptr;
}

void TCustomTranscoder::StartNextThreadedLocked() {
  if (TTaskRunner* task = TakeNextLocked()) task->StartConvert(true, threadPriority_);
}

void TCustomTranscoder::CountFinishedLocked() {
  ++finishedCount_;
  if (pendingCount_ < 1) {
    if (finishedCount_ >= tasks_.Count()) BatchEndLocked();
  } else if (threadedMode_) {
    StartNextThreadedLocked();
  }
}

void TCustomTranscoder::BatchEndLocked() {
  if (allDone_) return;
  // Set before the event goes out, so that its handler may clear the tasks.
  allDone_ = true;
  if (OnTerminate()) terminateDelivery_.Post(TTerminateInfo{-1, true, false, std::string()});
}

void TCustomTranscoder::Pause() {
  std::lock_guard<std::recursive_mutex> guard(batchLock_);
  for (int i = 0; i < tasks_.Count(); ++i) tasks_.Task(i).PauseConvert();
}

void TCustomTranscoder::Resume() {
  std::lock_guard<std::recursive_mutex> guard(batchLock_);
  for (int i = 0; i < tasks_.Count(); ++i) tasks_.Task(i).ResumeConvert();
}

void TCustomTranscoder::Stop(bool wait) {
  // Inside a handler that a worker waits for, waiting for the workers could
  // never end: that worker, and others queued behind its event lock, wait
  // for us. The stop is requested all the same.
  if (wait && mainThreadHandlers_ > 0 && platform::IsMainThread()) wait = false;
  std::vector<TTaskRunner*> tasks;
  {
    std::lock_guard<std::recursive_mutex> guard(batchLock_);
    pendingCount_ = 0;
    for (int i = 0; i < tasks_.Count(); ++i) tasks.push_back(&tasks_.Task(i));
  }
  // Outside the lock: the workers report their end while we wait for them.
  for (TTaskRunner* task : tasks) task->StopConvert(wait);
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

void TCustomTranscoder::RelayProgress(TTaskRunner& task, const TProgressInfo& info) {
  const TProgressEvent handler = OnProgress();
  if (!handler) return;
  std::lock_guard<std::mutex> guard(progressLock_);
  progressInfo_ = info;
  progressInfo_.TaskIndex = task.TaskIndex;
  Deliver(task, [&] { handler(this, &progressInfo_); });
}

void TCustomTranscoder::RelayPreview(TTaskRunner& task, const TPreviewInfo& info) {
  const TPreviewBitmapEvent handler = OnPreviewBitmap();
  if (!handler) return;
  std::lock_guard<std::mutex> guard(previewLock_);
  previewInfo_ = info;
  previewInfo_.TaskIndex = task.TaskIndex;
  Deliver(task, [&] { handler(this, previewInfo_); });
}

void TCustomTranscoder::RelayHook(TTaskRunner& task, THookInfo& info) {
  const TCustomHookEvent handler = OnCustomHook();
  if (!handler) return;
  std::lock_guard<std::mutex> guard(hookLock_);
  hookInfo_ = info;
  hookInfo_.TaskIndex = task.TaskIndex;
  // The bitmap stays locked while the handler draws on it (on the worker),
  // so the handler must not lock it again.
  std::unique_lock<TBitmap> canvas;
  if (hookInfo_.Bitmap) canvas = std::unique_lock<TBitmap>(*hookInfo_.Bitmap);
  try {
    handler(this, &hookInfo_);
  } catch (const std::exception& e) {
    Log(this, llError, std::string("Error occurs OnCustomHook: ") + e.what());
    hookInfo_.Update = false;
  } catch (...) {
    Log(this, llError, "Error occurs OnCustomHook: unknown error");
    hookInfo_.Update = false;
  }
  info.Update = hookInfo_.Update;
  info.StopHook = hookInfo_.StopHook;
}

void TCustomTranscoder::RelayTerminate(TTaskRunner* task) {
  bool threaded;
  {
    std::lock_guard<std::recursive_mutex> guard(batchLock_);
    if (task) {
      if (OnTerminate())
        terminateDelivery_.Post(
            TTerminateInfo{task->TaskIndex, task->Finished(), task->Exception(), task->ExceptionMsg()});
      CountFinishedLocked();
    } else {
      BatchEndLocked();
    }
    threaded = threadedMode_;
  }
  // Handlers run outside the lock, in the order the records were queued.
  terminateDelivery_.Flush(threaded);
}

void TCustomTranscoder::DeliverTerminate(const TTerminateInfo& info) {
  const TTerminateEvent handler = OnTerminate();
  if (handler) handler(this, info);
}
