// A task on a worker thread overlaps its stages: reading and decoding on
// one thread, each encoder on its own. The files must be the very bytes the
// one-thread run writes, and stopping, pausing and failing must behave as
// they do there.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/custom_ffmpeg.h"
#include "engine/engine_util.h"
#include "engine/helper_class.h"
#include "engine/stage_pipeline.h"
#include "media/library_tables.h"
#include "platform/main_thread.h"
#include "platform/thread_priority.h"
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
  bool helpersIdle = false;
  int helperReturns = 0;
};

// Converts on the task's own thread, as the program does. `started` runs in
// this thread once the task runs, `progress` on each report (on the task's
// thread).
RunResult ConvertOnWorker(const std::string& input, const std::string& output, const TOutputOptions& options,
                    bool overlap, const std::function<void(TCustomFFmpeg&)>& started = {},
                    const std::function<void(TCustomFFmpeg&)>& progress = {},
                    THelperClass helperClass = THelperClass::IdleWhenQuiet, const TLoadSource* load = nullptr) {
  testsupport::LoadConverterLibraries();
  RunResult run;
  TCustomFFmpeg task;
  task.ResetTask();
  task.Verbose = -1;
  task.OverlapStages = overlap;
  task.HelperClass = helperClass;
  if (load) task.LoadSource = *load;
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
  run.helpersIdle = task.HelpersWentIdle();
  run.helperReturns = task.HelperReturns();
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

// The helper threads (reading, decoding, sound encoding) may go to the idle
// scheduling class; the picture encoder and the output side stay out of it,
// and the file is the same.
TEST(OverlappedStages, HelpersInTheIdleClassChangeOnlyTheScheduling) {
  const std::string input = Source();
  const TOutputOptions options = Record("mpeg4", "libmp3lame");
  const std::string one = testsupport::TempPath("idle_one.avi");
  ASSERT_EQ(ConvertOnWorker(input, one, options, false).error, "");
  struct Seen {
    int idleThreads = 0;       // most threads of the process in the idle class at one report
    bool outputSideIdle = false;
  };
  auto watch = [](Seen& seen) {
    return [&seen](TCustomFFmpeg&) {  // on the output side's thread
      int idle = 0;
      for (int id : platform::ProcessThreadIds()) idle += platform::InIdleClass(id) ? 1 : 0;
      seen.idleThreads = std::max(seen.idleThreads, idle);
      seen.outputSideIdle = seen.outputSideIdle || platform::InIdleClass(platform::CurrentThreadId());
    };
  };
  Seen idleSeen, nicerSeen;
  const std::string idleFile = testsupport::TempPath("idle_helpers.avi");
  const RunResult idle = ConvertOnWorker(input, idleFile, options, true, {}, watch(idleSeen), THelperClass::Idle);
  const RunResult nicer =
      ConvertOnWorker(input, testsupport::TempPath("nicer_helpers.avi"), options, true, {}, watch(nicerSeen),
                      THelperClass::Nicer);
  ASSERT_EQ(idle.error, "");
  ASSERT_EQ(nicer.error, "");
  EXPECT_TRUE(idle.overlapped && idle.helpersIdle);
  EXPECT_GE(idleSeen.idleThreads, 2);  // the reading thread and the sound encoder's at least
  EXPECT_FALSE(idleSeen.outputSideIdle);
  EXPECT_FALSE(nicer.helpersIdle);
  EXPECT_EQ(nicerSeen.idleThreads, 0);
  EXPECT_TRUE(Bytes(one) == Bytes(idleFile)) << "the files differ";
}

// A machine scripted on a clock of its own: other programs are quiet until
// `busyFrom`, then keep 1.5 processors busy. Each reading of the clock moves
// it on by 50 ms; each sample notes how many threads of this process were in
// the idle class at its time.
struct ScriptedMachine {
  double busyFrom = 1.0;
  double now = 0;
  double busySeconds = 0;
  std::vector<std::pair<double, int>> idleThreadsAt;

  TLoadSource Source(bool canLeaveIdle) {
    TLoadSource source;
    source.Now = [this] { return now += 0.05; };
    source.Sample = [this] {
      int idle = 0;
      for (int id : platform::ProcessThreadIds()) idle += platform::InIdleClass(id) ? 1 : 0;
      idleThreadsAt.emplace_back(now, idle);
      platform::TCpuSample sample;
      sample.Valid = true;
      sample.WallSeconds = now;
      sample.SystemBusySeconds = now > busyFrom ? (now - busyFrom) * 1.5 : 0;
      return sample;
    };
    source.CanLeaveIdle = [canLeaveIdle] { return canLeaveIdle; };
    return source;
  }
};

// Helpers in the idle class starve once other programs take the processors:
// the run brings them back, and the file does not change.
TEST(OverlappedStages, HelpersLeaveTheIdleClassWhenOtherProgramsGetBusy) {
  if (!platform::CanLeaveIdleClass()) GTEST_SKIP() << "this process may not bring threads back from the idle class";
  const std::string input = Source();
  const TOutputOptions options = Record("mpeg4", "libmp3lame");
  const std::string one = testsupport::TempPath("returned_one.avi");
  ASSERT_EQ(ConvertOnWorker(input, one, options, false).error, "");
  ScriptedMachine machine;
  const TLoadSource load = machine.Source(true);
  const std::string file = testsupport::TempPath("returned_helpers.avi");
  const RunResult run = ConvertOnWorker(input, file, options, true, {}, {}, THelperClass::IdleWhenQuiet, &load);
  ASSERT_EQ(run.error, "");
  EXPECT_TRUE(run.helpersIdle);
  EXPECT_EQ(run.helperReturns, 1);
  int idleWhileQuiet = 0, busySamples = 0, idleWhileBusy = 0;
  for (const auto& [at, idle] : machine.idleThreadsAt) {
    if (at > 0.3 && at < machine.busyFrom) idleWhileQuiet = std::max(idleWhileQuiet, idle);
    // A window after the load came has been judged by then.
    if (at >= machine.busyFrom + 2 * kLoadWindowMs / 1000.0) {
      ++busySamples;
      idleWhileBusy += idle;
    }
  }
  EXPECT_GE(idleWhileQuiet, 2);  // the reading thread and the sound encoder's at least
  EXPECT_GT(busySamples, 0);
  EXPECT_EQ(idleWhileBusy, 0);
  EXPECT_TRUE(Bytes(one) == Bytes(file)) << "the files differ";
}

// A process that could not bring them back never sends its helpers there,
// however quiet the machine.
TEST(OverlappedStages, HelpersThatCouldNotComeBackStayOutOfTheIdleClass) {
  ScriptedMachine machine;
  machine.busyFrom = 1e9;
  const TLoadSource load = machine.Source(false);
  const RunResult run = ConvertOnWorker(Source(), testsupport::TempPath("stranded.avi"),
                                        Record("mpeg4", "libmp3lame"), true, {}, {}, THelperClass::IdleWhenQuiet, &load);
  ASSERT_EQ(run.error, "");
  EXPECT_TRUE(run.overlapped);
  EXPECT_FALSE(run.helpersIdle);
  for (const auto& sample : machine.idleThreadsAt) EXPECT_EQ(sample.second, 0);
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

// The encoders open on the output side while the reading side already
// decodes. One that refuses to open ends the run as in one thread: the
// same failure, the reading thread ends, no file is left.
TEST(OverlappedStages, AnEncoderThatRefusesToOpenFailsAsInOneThread) {
  const std::string input = Source();
  TOutputOptions options = Record("mpeg4", "libmp3lame");
  options.AudioChannels = 7;  // more than the encoder takes
  for (const bool overlap : {false, true}) {
    SCOPED_TRACE(overlap ? "overlapped" : "one thread");
    const std::string output = testsupport::MakeTempSubdir(overlap ? "refused_on" : "refused_off") + "/out.avi";
    const RunResult run = ConvertOnWorker(input, output, options, overlap);
    EXPECT_EQ(run.overlapped, overlap);
    EXPECT_NE(run.error.find("Error while opening encoder for output stream #0.1 (audio)"), std::string::npos)
        << run.error;
    EXPECT_FALSE(run.finished);
    EXPECT_FALSE(std::ifstream(output).good());
  }
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

// An encoder's thread holds prepared pictures up to a memory bound: many
// small ones, few large ones, never fewer than the minimum.
TEST(StageQueue, EncoderQueueHoldsPicturesByTheirSize) {
  testsupport::LoadConverterLibraries();
  AVCodecContext* enc = lib::avcodec_alloc_context3(nullptr);
  ASSERT_NE(enc, nullptr);
  auto picturesAt = [enc](int width, int height, AVPixelFormat format) {
    enc->width = width;
    enc->height = height;
    enc->pix_fmt = format;
    return EncoderQueuePictures(enc);
  };
  EXPECT_EQ(picturesAt(1280, 720, AV_PIX_FMT_YUV420P), 8);
  EXPECT_EQ(picturesAt(1920, 1080, AV_PIX_FMT_YUV420P), 4);
  EXPECT_EQ(picturesAt(1920, 1080, AV_PIX_FMT_RGB24), 2);
  EXPECT_EQ(picturesAt(3840, 2160, AV_PIX_FMT_YUV420P), kEncoderQueueMinPictures);
  EXPECT_EQ(picturesAt(176, 144, AV_PIX_FMT_YUV420P), kEncoderQueueMaxPictures);
  EXPECT_EQ(picturesAt(0, 0, AV_PIX_FMT_NONE), kEncoderQueueMinPictures);
  lib::avcodec_free_context(&enc);
}
