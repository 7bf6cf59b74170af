// The engine component over real files: adding tasks and outputs, and
// batches of stream copies, including a stop and a pause during a run.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "component_support.h"
#include "engine/preview_window.h"
#include "engine/transcoder.h"
#include "platform/code_page.h"
#include "support/media_libraries.h"
#include "support/test_media.h"

namespace {

using namespace componenttest;
using platform::Widen;

// A transcoding context whose run waits at the gate (or for a stop) before
// the real run starts, so that tests can act while a task is under way.
class HeldFFmpeg : public TFFmpeg {
 public:
  HeldFFmpeg(int capacity, Gate& gate) : TFFmpeg(capacity), gate_(gate) {}
  ~HeldFFmpeg() override {
    RequestStop(true);
    WaitDone();
  }
  void Transcode() override {
    std::unique_lock<std::mutex> guard(gate_.lock);
    ++gate_.started;
    gate_.changed.notify_all();
    // A stop request does not signal the gate: look at it every few ms.
    while (!gate_.open && !StopRequested()) gate_.changed.wait_for(guard, std::chrono::milliseconds(2));
    guard.unlock();
    TFFmpeg::Transcode();
  }

 private:
  Gate& gate_;
};

class MediaTranscoder : public TTranscoder {
 public:
  Gate* gate = nullptr;

 protected:
  std::unique_ptr<TFFmpeg> NewTask(int capacity) override {
    if (!gate) return TTranscoder::NewTask(capacity);
    return std::make_unique<HeldFFmpeg>(capacity, *gate);
  }
};

TOutputOptions CopyOptions() {
  TOutputOptions options;
  options.ExtraOptions = "vcodec=copy<CRLF>acodec=copy";
  return options;
}

class ComponentMedia : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::LoadConverterLibraries();
    input_ = testsupport::AviMpeg4Mp3();
    ASSERT_FALSE(input_.empty());
  }
  // Adds a task copying the input into TempPath(name).
  void AddCopyTask(TTranscoder& engine, const std::string& name) {
    const int index = engine.AddTask(Widen(input_));
    ASSERT_GE(index, 0) << engine.LastErrMsg();
    const TOutputOptions options = CopyOptions();
    ASSERT_TRUE(engine.SetOutputFile(index, Widen(testsupport::TempPath(name)), &options))
        << engine.LastErrMsg();
  }

  std::string input_;
};

TEST_F(ComponentMedia, AddTaskOpensAndProbesTheInputAndKeepsTheRecords) {
  TTranscoder engine;
  ASSERT_TRUE(engine.AVLibLoaded());
  TInputOptions in;  // empty FileName: receives the added name
  const int index = engine.AddTask(Widen(input_), &in);
  ASSERT_EQ(index, 0) << engine.LastErrMsg();
  EXPECT_EQ(engine.TasksCount(), 1);

  const AVFormatContext* context = engine.InputFormatContext(0, 0);
  ASSERT_NE(context, nullptr);
  EXPECT_GT(context->duration, 0);
  EXPECT_EQ(engine.InputFormatContext(0, 1), nullptr);

  TFFmpeg* task = engine.Task(0);
  ASSERT_NE(task, nullptr);
  ASSERT_NE(task->Probe(0), nullptr);
  EXPECT_EQ(task->Probe(0)->VideoStreamCount(), 1);
  EXPECT_EQ(task->Probe(0)->AudioStreamCount(), 1);
  ASSERT_NE(task->InputOptions(0), nullptr);
  EXPECT_EQ(task->InputOptions(0)->FileName, Widen(input_));

  const std::string out = testsupport::TempPath("component_records.avi");
  const TOutputOptions options = CopyOptions();
  ASSERT_TRUE(engine.SetOutputFile(0, Widen(out), &options)) << engine.LastErrMsg();
  ASSERT_NE(task->OutputOptions(0), nullptr);
  EXPECT_EQ(task->OutputOptions(0)->FileName, Widen(out));
  ASSERT_TRUE(engine.SetOutputFile(0, Widen(testsupport::TempPath("component_records2.avi"))));
  EXPECT_EQ(task->OutputOptions(1), nullptr);  // added without a record
}

TEST_F(ComponentMedia, AddTaskOfAMissingFileFailsWithTheReason) {
  TTranscoder engine;
  EXPECT_EQ(engine.AddTask(Widen(testsupport::TempPath("no such file.avi"))), -1);
  EXPECT_NE(engine.LastErrMsg(), "");
  EXPECT_EQ(engine.TasksCount(), 0);
}

TEST_F(ComponentMedia, TwentyOutputsPerTaskAndNoMore) {
  TTranscoder engine;
  ASSERT_EQ(engine.AddTask(Widen(input_)), 0) << engine.LastErrMsg();
  const TOutputOptions options = CopyOptions();
  for (int i = 0; i < 20; ++i) {
    const std::string out = testsupport::TempPath("component_limit_" + std::to_string(i) + ".avi");
    ASSERT_TRUE(engine.SetOutputFile(0, Widen(out), &options)) << i << ": " << engine.LastErrMsg();
  }
  EXPECT_FALSE(engine.SetOutputFile(0, Widen(testsupport::TempPath("component_limit_20.avi")), &options));
  EXPECT_EQ(engine.LastErrMsg(), "max output files 20 reached");
  EXPECT_EQ(engine.Task(0)->OutputCount(), 20);
}

TEST_F(ComponentMedia, UnthreadedBatchCopiesEveryTask) {
  TTranscoder engine;
  EventLog log;
  log.Attach(engine, false);
  AddCopyTask(engine, "component_copy_a.avi");
  AddCopyTask(engine, "component_copy_b.avi");

  engine.StartTask(0);
  const auto records = log.Terminates();
  ASSERT_EQ(records.size(), 3u);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(records[size_t(i)].info.TaskIndex, i);
    EXPECT_TRUE(records[size_t(i)].info.Finished);
    EXPECT_FALSE(records[size_t(i)].info.Exception) << records[size_t(i)].info.ExceptionMsg;
  }
  EXPECT_EQ(records[2].info.TaskIndex, -1);

  const testsupport::MediaSummary source = testsupport::ReadMedia(input_);
  for (const char* name : {"component_copy_a.avi", "component_copy_b.avi"}) {
    const testsupport::MediaSummary copy = testsupport::ReadMedia(testsupport::TempPath(name));
    ASSERT_TRUE(copy.ok) << copy.error;
    ASSERT_NE(copy.first(AVMEDIA_TYPE_VIDEO), nullptr);
    EXPECT_EQ(copy.first(AVMEDIA_TYPE_VIDEO)->codec, "mpeg4");
    EXPECT_EQ(copy.videoFrames(), source.videoFrames());
    EXPECT_EQ(copy.count(AVMEDIA_TYPE_AUDIO), 1);
  }
}

TEST_F(ComponentMedia, StopDuringAThreadedCopyReportsNotFinished) {
  Gate gate;
  MediaTranscoder engine;
  engine.gate = &gate;
  EventLog log;
  log.Attach(engine, /*terminateOnMainThread=*/true);
  AddCopyTask(engine, "component_stopped.avi");
  AddCopyTask(engine, "component_never_started.avi");

  engine.StartTask(1);
  WaitUntil([&] { return gate.Started() == 1; });
  engine.Stop(true);
  log.WaitBatchEnd();
  const auto records = log.Terminates();
  ASSERT_EQ(records.size(), 3u);
  for (int i = 0; i < 2; ++i) {
    EXPECT_FALSE(records[size_t(i)].info.Finished) << i;
    EXPECT_FALSE(records[size_t(i)].info.Exception) << records[size_t(i)].info.ExceptionMsg;
  }
  EXPECT_EQ(gate.Started(), 1);
}

TEST_F(ComponentMedia, PausedCopyWaitsAndResumedCopyCompletes) {
  Gate gate;
  MediaTranscoder engine;
  engine.gate = &gate;
  EventLog log;
  log.Attach(engine, false);
  AddCopyTask(engine, "component_paused.avi");

  engine.StartTask(1);
  WaitUntil([&] { return gate.Started() == 1; });
  engine.Pause();
  gate.OpenAll();  // the run starts, and halts at its first safe point
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
  WaitUntil([&] { return std::chrono::steady_clock::now() >= until; });
  EXPECT_TRUE(log.Terminates().empty());
  ASSERT_NE(engine.Task(0), nullptr);
  EXPECT_TRUE(engine.Task(0)->Running());

  engine.Resume();
  log.WaitBatchEnd();
  const auto records = log.Terminates();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_TRUE(records[0].info.Finished);
  EXPECT_FALSE(records[0].info.Exception) << records[0].info.ExceptionMsg;
  const testsupport::MediaSummary copy =
      testsupport::ReadMedia(testsupport::TempPath("component_paused.avi"));
  ASSERT_TRUE(copy.ok) << copy.error;
  EXPECT_EQ(copy.videoFrames(), testsupport::ReadMedia(input_).videoFrames());
}

// Records the windows the engine asks the program for.
class RecordingHost : public TPreviewHost {
 public:
  RecordingHost() { RegisterPreviewHost(this); }
  ~RecordingHost() override { RegisterPreviewHost(nullptr); }
  bool OpenPreview(const void* owner, int, int) override {
    opened.push_back(owner);
    return true;
  }
  bool ShowPreviewFrame(const void*, const TPreviewFrame&) override { return true; }
  void ClosePreview(const void* owner) override { closed.push_back(owner); }

  std::vector<const void*> opened;
  std::vector<const void*> closed;
};

TEST_F(ComponentMedia, ClearingPreviewClosesTheWindowsOfTheTasks) {
  RecordingHost host;
  TTranscoder engine;
  engine.SetPreview(true);
  ASSERT_EQ(engine.AddTask(Widen(input_)), 0) << engine.LastErrMsg();
  TFFmpeg* task = engine.Task(0);
  EXPECT_EQ(task->PreviewFlags, kPreviewWindowFlag);
  const uint8_t bits[4 * 4 * 3] = {};
  ASSERT_TRUE(task->ShowPreviewWindow(bits, 4, 4, 12, 1, 0));
  ASSERT_EQ(host.opened.size(), 1u);

  engine.SetPreviewBitmap(true);  // other flag: the window stays
  EXPECT_TRUE(host.closed.empty());
  engine.SetPreview(false);
  ASSERT_EQ(host.closed.size(), 1u);
  EXPECT_EQ(host.closed[0], host.opened[0]);
  EXPECT_EQ(task->PreviewFlags, kPreviewBitmapFlag);
}

TEST_F(ComponentMedia, APreviewWindowClosesWhenItsTaskIsReleased) {
  RecordingHost host;
  TTranscoder engine;
  EventLog log;
  log.Attach(engine, false);
  engine.SetPreview(true);
  ASSERT_EQ(engine.AddTask(Widen(input_)), 0) << engine.LastErrMsg();
  TOutputOptions options;
  options.VideoCodec = "mpeg4";
  options.DisableAudio = true;
  options.RecordingTime = 400000;
  ASSERT_TRUE(engine.SetOutputFile(0, Widen(testsupport::TempPath("component_preview.avi")), &options))
      << engine.LastErrMsg();

  engine.StartTask(0);
  const auto records = log.Terminates();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_FALSE(records[0].info.Exception) << records[0].info.ExceptionMsg;
  ASSERT_EQ(host.opened.size(), 1u);
  // Closed by the end of the task, not left for ClearTasks.
  EXPECT_EQ(host.closed, host.opened);
  EXPECT_EQ(engine.TasksCount(), 1);
}

}  // namespace
