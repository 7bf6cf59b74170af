// Runs whole conversions through a transcoding context in the test's thread,
// the way the engine component sets up a task, for the conversion tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "engine/custom_ffmpeg.h"
#include "engine/engine_util.h"
#include "media/library_tables.h"
#include "support/media_libraries.h"
#include "support/temp_dir.h"
#include "support/test_media.h"

namespace converttest {

struct Conversion {
  std::string error;  // "" when the task ended without an exception
  bool finished = false;
  std::vector<TProgressInfo> progress;
};

// Converts input into output with the record; `prepare` may set relays and
// fields of the task before it starts.
inline Conversion Convert(const std::string& input, const std::string& output, const TOutputOptions& options,
                          const std::function<void(TCustomFFmpeg&)>& prepare = {},
                          const std::string& inputExtra = "") {
  testsupport::LoadConverterLibraries();
  Conversion result;
  TCustomFFmpeg task;
  task.ResetTask();
  task.Verbose = -1;
  try {
    if (!inputExtra.empty()) {
      TInputOptions in;
      in.ExtraOptions = inputExtra;
      task.ApplyInputOptions(in);
    }
    if (!task.OpenInputFile(engine::Utf8ToWide(input))) {
      result.error = "input: " + task.LastOpenError();
      return result;
    }
    task.ApplyOutputOptions(options);
    if (task.OpenOutputFile(engine::Utf8ToWide(output), false) < 0) {
      result.error = "output: " + task.LastOpenError();
      return result;
    }
    task.CreateExtraStreams(options);
  } catch (const std::exception& e) {
    result.error = std::string("setup: ") + e.what();
    return result;
  }
  task.ProgressRelay = [&](TTaskRunner&, const TProgressInfo& info) { result.progress.push_back(info); };
  if (prepare) prepare(task);
  task.StartConvert(false, tpNormal);
  if (task.Exception()) result.error = task.ExceptionMsg();
  result.finished = task.Finished();
  return result;
}

inline double Seconds(int64_t us) { return double(us) / 1e6; }

inline double FrameRate(const testsupport::StreamSummary& s) {
  return s.avgFrameRate.den ? double(s.avgFrameRate.num) / s.avgFrameRate.den : 0;
}

}  // namespace converttest
