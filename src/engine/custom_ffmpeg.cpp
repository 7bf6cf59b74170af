#include "engine/custom_ffmpeg.h"

#include <algorithm>

#include "engine/engine_util.h"
#include "media/ffmpeg_loader.h"
#include "media/library_tables.h"

TCustomFFmpeg::TCustomFFmpeg(int fileCapacity)
    : fileCapacity_(std::clamp(fileCapacity, 1, 512)) {}

TCustomFFmpeg::~TCustomFFmpeg() {
  RequestStop(true);
  if (FFLoader().LibrariesLoaded(kConverterLibraries)) {
    ReleaseAll();
    optionContext_.reset();
  } else {
    // The libraries are gone: nothing can be freed through them any more.
    (void)optionContext_.release();
  }
}

void TCustomFFmpeg::ResetTask() {
  if (!FFLoader().LibrariesLoaded(kConverterLibraries)) return;
  ReleaseAll();
  opt_ = TOptionState();
  optionContext_.reset();
  optionContext_ = std::make_unique<TOptionContext>();
  join_ = false;
  useVideoFilters_ = false;
  openError_.clear();
  defaultsList_.clear();
  skipFlush_ = false;
  inputEndNote_.clear();
  ResetRunState();
  TotalDuration = -1;
}

const AVFormatContext* TCustomFFmpeg::InputFormatContext(int fileIndex) const {
  std::lock_guard<std::mutex> guard(filesLock_);
  if (fileIndex < 0 || fileIndex >= int(inputFiles_.size())) return nullptr;
  return inputFiles_[size_t(fileIndex)].Ctx;
}

const AVFormatContext* TCustomFFmpeg::OutputFormatContext(int fileIndex) const {
  std::lock_guard<std::mutex> guard(filesLock_);
  if (fileIndex < 0 || fileIndex >= int(outputFiles_.size())) return nullptr;
  return outputFiles_[size_t(fileIndex)].Ctx;
}

int TCustomFFmpeg::InputCount() const {
  std::lock_guard<std::mutex> guard(filesLock_);
  return int(inputFiles_.size());
}

int TCustomFFmpeg::OutputCount() const {
  std::lock_guard<std::mutex> guard(filesLock_);
  return int(outputFiles_.size());
}

void TCustomFFmpeg::ReleaseAll() {
  FreeRun();
  CloseOutputs();
  CloseInputs();
  ReleaseTaskPathState();
  ReleaseVideoHooks();
  // The window belongs to the conversion: it goes with the task's files.
  previewWindow_.Close();
  if (run_.VStatsFile) {
    std::fclose(run_.VStatsFile);
    run_.VStatsFile = nullptr;
  }
  opt_.VStatsFileName.reset();
  run_ = TRunState();
}
