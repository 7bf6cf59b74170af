// TFFmpeg: one conversion task of the engine component — a transcoding
// context plus what created it: per input the option record and a media
// probe filled from the opened input, per output the option record.
// TFFmpegList: the component's ordered list of owned tasks.
//
// Threads: the records and probes are set up on the caller's thread before
// the task starts and are not touched by the component while it runs.
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
  std::vector<std::unique_ptr<TAVProbe>> probes_;
};

// Owned tasks in list order. The list holds task runners so that the
// component's scheduling can be exercised with tasks of any kind; the
// tasks AddTask makes are TFFmpeg objects.
class TFFmpegList {
 public:
  int Count() const { return int(items_.size()); }
  bool ValidIndex(int index) const { return index >= 0 && index < Count(); }
  TTaskRunner& Task(int index) const { return *items_[size_t(index)]; }
  // nullptr when the task at index is not a transcoding context.
  TFFmpeg* FFmpeg(int index) const;

  // Appends and returns the new index; the tasks' TaskIndex follows the list.
  int Add(std::unique_ptr<TTaskRunner> task);
  std::unique_ptr<TTaskRunner> Extract(int index);
  std::vector<std::unique_ptr<TTaskRunner>> TakeAll();

 private:
  std::vector<std::unique_ptr<TTaskRunner>> items_;
};
