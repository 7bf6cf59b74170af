// A task on a worker thread overlaps its stages: reading and decoding on
// one thread, each encoder on its own. The files must be the very bytes the
// one-thread run writes, and stopping, pausing and failing must behave as
// they do there.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>

#include "engine/custom_ffmpeg.h"
#include "engine/engine_util.h"
#include "engine/stage_pipeline.h"
#include "media/library_tables.h"
#include "platform/main_thread.h"
#include "support/file_size_limit.h"
#include "support/media_libraries.h"
#include "support/media_reader.h"
#include "support/temp_dir.h"
#include "support/test_media.h"

namespace {

// H.264 with reordered pictures and AAC, long enough for the queues to fill.
std::string Source(double seconds = 4) {
  testsupport::MediaSpec spec;
  spec.container = "mp4";
  spec.videoCodec = "libx264";
  spec.audioCodecs = {"aac"};
  spec.width = 640;
  spec.height = 360;
  spec.sampleRate = 48000;
  spec.seconds = seconds;
  spec.gopSize = 25;
  spec.maxBFrames = 2;
  return testsupport::CachedMedia("overlap_source_" + std::to_string(int(seconds)) + ".mp4", spec);
}

struct RunResult {
  std::string error;
  bool finished = false;
  bool overlapped = false;
};

// Converts on the task's own thread, as the program does. `started` runs in
// this thread once the task runs, `progress` on each report (on the task's
// thread).
RunResult ConvertOnWorker(const std::string& input, const std::string& output, const TOutputOptions& options,
                    bool overlap, const std::function<void(TCustomFFmpeg&)>& started = {},
                    const std::function<void(TCustomFFmpeg&)>& progress = {}) {
  testsupport::LoadConverterLibraries();
  RunResult run;
  TCustomFFmpeg task;
  task.ResetTask();
  task.Verbose = -1;
  task.OverlapStages = overlap;
  if (!task.OpenInputFile(engine::Utf8ToWide(input))) {
    run.error = "input: " + task.LastOpenError();
    return run;
  }
  task.ApplyOutputOptions(options);
  if (task.OpenOutputFile(engine::Utf8ToWide(output), false) < 0) {
    run.error = "output: " + task.LastOpenError();
    return run;
  }
  if (progress) {
    task.ReportInterval = 1000;
    task.ProgressRelay = [&](TTaskRunner&, const TProgressInfo&) { progress(task); };
  }
  if (!task.StartConvert(true, tpNormal)) {
    run.error = "not started: " + task.ExceptionMsg();
    return run;
  }
  if (started) started(task);
  task.WaitDone();
  if (task.Exception()) run.error = task.ExceptionMsg();
  run.finished = task.Finished();
  run.overlapped = task.RanOverlapped();
  return run;
}

std::string Bytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

TOutputOptions Record(const char* video, const char* audio, const char* extra = "") {
  TOutputOptions o;
  o.VideoCodec = video;
  o.AudioCodec = audio;
  // The encoders' own thread counts shape their bitstreams; both runs get the same.
  o.ExtraOptions = std::string("threads=2<CRLF>") + extra;
  return o;
}

struct SameBytesCase {
  const char* name;
  const char* file;
  TOutputOptions options;
};

TEST(OverlappedStages, WritesTheSameBytesAsTheOneThreadRun) {
  TOutputOptions x264 = Record("libx264", "aac");
  x264.FrameSize = "320x180";
  x264.VideoPreset = "libx264-fast";
  x264.VideoBitrate = 600000;
  // Matroska writes random identifiers unless told to be bit-exact.
  TOutputOptions filtered = Record("mpeg4", "mp2", "fflags=+bitexact");
  filtered.VideoFilters = "hflip";
  filtered.AudioVolume = 512;
  filtered.AspectRatio = "16:9";
  const SameBytesCase cases[] = {
      {"MPEG-4 + MP3 in AVI", "same.avi", Record("mpeg4", "libmp3lame", "b=1500k")},
      {"x264 + AAC in MP4, resized", "same.mp4", x264},
      {"filters, louder sound, MKV", "same_filtered.mkv", filtered},
      {"video copied, sound encoded", "same_copy.mkv", Record("copy", "mp2", "fflags=+bitexact")},
  };
  const std::string input = Source();
  for (const SameBytesCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string one = testsupport::TempPath(std::string("one_") + c.file);
    const std::string overlapped = testsupport::TempPath(std::string("overlapped_") + c.file);
    const RunResult serial = ConvertOnWorker(input, one, c.options, false);
    const RunResult parallel = ConvertOnWorker(input, overlapped, c.options, true);
    ASSERT_EQ(serial.error, "");
    ASSERT_EQ(parallel.error, "");
    EXPECT_TRUE(serial.finished && parallel.finished);
    EXPECT_FALSE(serial.overlapped);
    EXPECT_TRUE(parallel.overlapped);
    const std::string bytes = Bytes(one);
    EXPECT_GT(bytes.size(), 10000u);
    EXPECT_TRUE(bytes == Bytes(overlapped)) << "the files differ";
  }
}

// Where the outputs decide how far the input is read, or nothing is
// encoded, the run keeps to one thread.
TEST(OverlappedStages, OneThreadWhereTheOutputsDecideTheReading) {
  const std::string input = Source();
  const RunResult limited = ConvertOnWorker(input, testsupport::TempPath("limited.avi"),
                                      Record("mpeg4", "libmp3lame", "<CRLF>vframes=20"), true);
  EXPECT_EQ(limited.error, "");
  EXPECT_FALSE(limited.overlapped);
  EXPECT_EQ(testsupport::ReadMedia(testsupport::TempPath("limited.avi")).videoFrames(), 20);
  const RunResult copied =
      ConvertOnWorker(input, testsupport::TempPath("copied.mkv"), Record("copy", "copy"), true);
  EXPECT_EQ(copied.error, "");
  EXPECT_FALSE(copied.overlapped);
}

// A pause holds every thread of the run; after the resume the file is the
// one an uninterrupted run writes.
TEST(OverlappedStages, APauseDoesNotChangeTheFile) {
  const std::string input = Source();
  const TOutputOptions options = Record("mpeg4", "libmp3lame");
  const std::string whole = testsupport::TempPath("unpaused.avi");
  ASSERT_EQ(ConvertOnWorker(input, whole, options, true).error, "");
  std::atomic<bool> reported{false};
  bool wasPaused = false;
  const std::string paused = testsupport::TempPath("paused.avi");
  const RunResult run = ConvertOnWorker(
      input, paused, options, true,
      [&](TCustomFFmpeg& task) {
        platform::WaitServingMainThread([&] { return reported.load() || task.Terminated(); });
        wasPaused = task.Paused();
        task.ResumeConvert();
      },
      [&](TCustomFFmpeg& task) {
        // Paused from the first report on, in the middle of the run.
        if (reported) return;
        task.PauseConvert();
        reported = true;
      });
  EXPECT_EQ(run.error, "");
  EXPECT_TRUE(run.finished);
  EXPECT_TRUE(run.overlapped);
  EXPECT_TRUE(wasPaused);
  EXPECT_TRUE(Bytes(whole) == Bytes(paused));
}

// A stop flushes and closes the outputs: the file plays. A stop that must
// not wait still writes the trailer.
TEST(OverlappedStages, AStopLeavesAPlayableFile) {
  const std::string input = Source(8);
  for (bool quick : {false, true}) {
    SCOPED_TRACE(quick ? "quick stop" : "stop");
    const std::string output = testsupport::TempPath(quick ? "quick_stop.avi" : "stop.avi");
    std::atomic<bool> reported{false};
    const RunResult run = ConvertOnWorker(
        input, output, Record("mpeg4", "libmp3lame"), true,
        [&](TCustomFFmpeg& task) {
          platform::WaitServingMainThread([&] { return reported.load() || task.Terminated(); });
          if (quick) task.SkipFlush();
          task.RequestStop(false);
        },
        [&](TCustomFFmpeg&) { reported = true; });
    EXPECT_EQ(run.error, "");
    EXPECT_FALSE(run.finished);
    EXPECT_TRUE(run.overlapped);
    const testsupport::MediaSummary written = testsupport::ReadMedia(output);
    ASSERT_TRUE(written.ok) << written.error;
    EXPECT_GT(written.videoFrames(), 0);
    EXPECT_EQ(written.count(AVMEDIA_TYPE_AUDIO), 1);
  }
}

// Writing fails part-way on the output side (the file size limit stands in
// for a full disk): the reading and encoder threads end, the failure is
// reported and no partial file is left.
TEST(OverlappedStages, AWriteFailureEndsEveryThreadAndLeavesNoFile) {
  const std::string input = Source(8);
  const std::string output = testsupport::MakeTempSubdir("overlap_full") + "/out.avi";
  RunResult run;
  {
    const testsupport::FileSizeLimit cap(64 * 1024);
    ASSERT_TRUE(cap.Ok());
    run = ConvertOnWorker(input, output, Record("mpeg4", "libmp3lame", "b=2000k"), true);
  }
  EXPECT_TRUE(run.overlapped);
  EXPECT_NE(run.error.find(engine::LibraryErrorText(AVERROR(EFBIG))), std::string::npos) << run.error;
  EXPECT_FALSE(run.finished);
  EXPECT_FALSE(std::ifstream(output).good());
}

TStageItem PictureItem() {
  TStageItem item;
  item.Kind = TStageKind::Picture;
  item.Frame = lib::av_frame_alloc();
  return item;
}

// The queue holds at most its pictures, lets other items pass beside them,
// and a closed queue lets a waiting push go and frees what it held.
TEST(StageQueue, BoundsPicturesAndReleasesAWaitingPushWhenClosed) {
  testsupport::LoadConverterLibraries();
  TStageQueue queue;
  for (int i = 0; i < kStageQueuePictures; ++i) ASSERT_TRUE(queue.Push(PictureItem()));
  TStageItem sound;
  sound.Kind = TStageKind::Samples;
  sound.Frame = lib::av_frame_alloc();
  EXPECT_TRUE(queue.Push(sound));  // not held back by the pictures

  TStageItem first;
  ASSERT_TRUE(queue.Pop(first));
  EXPECT_EQ(first.Kind, TStageKind::Picture);
  FreeStageItem(first);
  ASSERT_TRUE(queue.Push(PictureItem()));  // room for one picture again

  std::atomic<int> result{-1};
  std::thread pusher([&] { result = queue.Push(PictureItem()) ? 1 : 0; });
  queue.Close();
  pusher.join();
  EXPECT_EQ(result, 0);
  TStageItem none;
  EXPECT_FALSE(queue.Pop(none));
}

}  // namespace
