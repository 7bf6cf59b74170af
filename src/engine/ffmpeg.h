// TFFmpeg: one conversion task of the engine component — a transcoding
// context plus what created it: per input the option record and a media
// probe filled from the opened input, per output the option record.
// TFFmpegList: the component's ordered list of owned tasks.
//
// Threads: the records are set up on the caller's thread before the task
// starts and are not touched by the component while it runs. The probes are
// set up the same way; the run closes them at its end, under filesLock_ like
// the inputs they describe, so Probe() may be asked from any thread. Read a
// probe's details while its task is not running.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "engine/custom_ffmpeg.h"
#include "engine/option_records.h"
#include "engine/task_runner.h"
#include "media/av_probe.h"

class TFFmpeg : public TCustomFFmpeg {
 public:
  explicit TFFmpeg(int fileCapacity = kDefaultFileCapacity);
  ~TFFmpeg() override;

  // Record copies by file index; nullptr when none is stored.
  const TInputOptions* InputOptions(int inputIndex) const;
  const TOutputOptions* OutputOptions(int outputIndex) const;
  // Stores a copy (replacing one stored before) and returns it.
  const TInputOptions& StoreInputOptions(int inputIndex, const TInputOptions& options);
  const TOutputOptions& StoreOutputOptions(int outputIndex, const TOutputOptions& options);
  void ClearInputOptions(int inputIndex);
  void ClearOutputOptions(int outputIndex);

  // Creates the probe of an opened input and fills it from the input's
  // format context (which the task keeps owning).
  TAVProbe& AttachProbe(int inputIndex);
  // nullptr when the input has no probe.
  TAVProbe* Probe(int inputIndex) const;

  // The probes forget the inputs before the task closes them.
  void ReleaseAll() override;

 private:
  void CloseProbes();

  std::vector<std::optional<TInputOptions>> inputOptions_;
  std::vector<std::optional<TOutputOptions>> outputOptions_;
  std::vector<std::unique_ptr<TAVProbe>> probes_;  // guarded by filesLock_
};

// Owned tasks in list order. The list holds task runners so that the
// component's scheduling can be exercised with tasks of any kind; the
// tasks AddTask makes are TFFmpeg objects. Ownership is shared so that a
// thread about to start or stop a task keeps it alive while it does so,
// even when the list lets go of it meanwhile (ClearTasks from a handler);
// the last holder destroys it.
class TFFmpegList {
 public:
  using TTaskPtr = std::shared_ptr<TTaskRunner>;

  int Count() const { return int(items_.size()); }
  bool ValidIndex(int index) const { return index >= 0 && index < Count(); }
  TTaskRunner& Task(int index) const { return *items_[size_t(index)]; }
  const TTaskPtr& Shared(int index) const { return items_[size_t(index)]; }
  // nullptr when the task at index is not a transcoding context.
  TFFmpeg* FFmpeg(int index) const;

  // Appends and returns the new index; the tasks' TaskIndex follows the list.
  int Add(TTaskPtr task);
  TTaskPtr Extract(int index);
  std::vector<TTaskPtr> TakeAll();

 private:
  std::vector<TTaskPtr> items_;
};
