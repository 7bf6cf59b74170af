// A transcoding context set up the way the engine component sets up a task:
// record applied, then the input or output opened.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "engine/custom_ffmpeg.h"
#include "engine/engine_util.h"
#include "media/library_tables.h"
#include "support/media_libraries.h"
#include "support/test_media.h"

namespace enginetest {

class ContextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::LoadConverterLibraries();
    task.ResetTask();
    task.Verbose = -1;  // keep the stream dumps out of the test log
  }

  // The input's record first, then the input itself; false with the open error.
  bool AddInput(const std::string& path, const TInputOptions* options = nullptr) {
    if (options) task.ApplyInputOptions(*options);
    return task.OpenInputFile(engine::Utf8ToWide(path));
  }
  bool AddInput(const std::string& path, const std::string& extra) {
    TInputOptions options;
    options.ExtraOptions = extra;
    return AddInput(path, &options);
  }
  // The output's record, the file, then its extra streams.
  bool AddOutput(const std::string& path, const TOutputOptions* options = nullptr) {
    if (options) task.ApplyOutputOptions(*options);
    if (task.OpenOutputFile(engine::Utf8ToWide(path), options && options->Join) < 0) return false;
    if (options) task.CreateExtraStreams(*options);
    return true;
  }
  bool AddOutput(const std::string& path, const std::string& extra) {
    TOutputOptions options;
    options.ExtraOptions = extra;
    return AddOutput(path, &options);
  }
  // Runs the task in this thread; the failure text, or "" on success.
  std::string Run() {
    task.StartConvert(false, tpNormal);
    return task.Exception() ? task.ExceptionMsg() : std::string();
  }
  // The message of a failing option, or "(no failure)".
  std::string Failure(const std::string& name, const std::string& value) {
    return Failure([&] { task.ParseOption(name, value); });
  }
  std::string Failure(const std::function<void()>& action) {
    try {
      action();
    } catch (const std::exception& e) {
      return e.what();
    }
    return "(no failure)";
  }

  TCustomFFmpeg task;
};

}  // namespace enginetest
