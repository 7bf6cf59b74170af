// The video path's side roads: the custom hook on RGB bitmaps, preview
// bitmaps, deinterlacing, the progress events and the statistics files.
#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "convert_support.h"
#include "media/bitmap.h"

using converttest::Convert;
using testsupport::ReadMedia;
using testsupport::TempPath;

namespace {

TOutputOptions RawVideo(int64_t seconds100ms = 6) {
  TOutputOptions options;
  options.VideoCodec = "rawvideo";
  options.DisableAudio = true;
  options.RecordingTime = seconds100ms * 100000;
  return options;
}

// Share of sampled pixels that are pure white (BGR 255,255,255 within 8).
double WhiteShare(const std::vector<uint8_t>& bgr, int width, int height) {
  int white = 0, all = 0;
  for (int y = 0; y < height; y += 5)
    for (int x = 0; x < width; x += 5) {
      const uint8_t* p = &bgr[size_t((y * width + x) * 3)];
      white += p[0] > 247 && p[1] > 247 && p[2] > 247;
      ++all;
    }
  return double(white) / all;
}

TEST(CustomHook, DrawsUntilStopHook) {
  std::vector<int32_t> seen;
  std::vector<int64_t> times;
  const std::string out = TempPath("hooked.avi");
  converttest::Conversion run = Convert(testsupport::AviMpeg4Mp3(), out, RawVideo(), [&](TCustomFFmpeg& task) {
    task.HookRelay = [&](TTaskRunner&, THookInfo& info) {
      seen.push_back(info.FrameNumber);
      times.push_back(info.PTS);
      ASSERT_NE(info.Bitmap, nullptr);
      EXPECT_EQ(info.Bitmap->Width(), 320);
      EXPECT_EQ(info.Bitmap->Height(), 240);
      EXPECT_TRUE(info.Update);
      EXPECT_FALSE(info.StopHook);
      for (int y = 0; y < info.Bitmap->Height(); ++y)
        std::fill_n(info.Bitmap->Scanline(y), info.Bitmap->Width() * 3, uint8_t(255));
      if (info.FrameNumber == 5) info.StopHook = true;  // this frame is still drawn
    };
  });
  ASSERT_EQ(run.error, "");
  ASSERT_EQ(seen, (std::vector<int32_t>{1, 2, 3, 4, 5}));
  EXPECT_LT(times[0], times[4]);
  int w = 0, h = 0;
  auto frames = testsupport::DecodeVideoFrames(out, 10, &w, &h);
  ASSERT_EQ(frames.size(), 10u);
  for (int i = 0; i < 5; ++i) EXPECT_GT(WhiteShare(frames[size_t(i)], w, h), 0.95) << "frame " << i;
  for (int i = 5; i < 10; ++i) EXPECT_LT(WhiteShare(frames[size_t(i)], w, h), 0.5) << "frame " << i;
}

TEST(CustomHook, ThrowingHandlerLeavesThePictureAndTheTaskRunning) {
  int calls = 0;
  const std::string out = TempPath("hook_throws.avi");
  converttest::Conversion run = Convert(testsupport::AviMpeg4Mp3(), out, RawVideo(), [&](TCustomFFmpeg& task) {
    task.HookRelay = [&](TTaskRunner&, THookInfo& info) {
      ++calls;
      for (int y = 0; y < info.Bitmap->Height(); ++y)
        std::fill_n(info.Bitmap->Scanline(y), info.Bitmap->Width() * 3, uint8_t(255));
      throw std::runtime_error("handler broke");
    };
  });
  ASSERT_EQ(run.error, "");
  EXPECT_TRUE(run.finished);
  EXPECT_GE(calls, 10);
  int w = 0, h = 0;
  auto frames = testsupport::DecodeVideoFrames(out, 10, &w, &h);
  ASSERT_EQ(frames.size(), 10u);
  for (const auto& frame : frames) EXPECT_LT(WhiteShare(frame, w, h), 0.5);
}

TEST(PreviewBitmaps, AtMostOnePerInterval) {
  struct Shot {
    int32_t frame;
    int64_t at;
    int width, height;
  };
  std::vector<Shot> shots;
  TOutputOptions options;
  options.VideoCodec = "mpeg4";
  options.DisableAudio = true;
  converttest::Conversion run =
      Convert(testsupport::AviMpeg4Mp3(), TempPath("previewed.avi"), options, [&](TCustomFFmpeg& task) {
        task.PreviewFlags = kPreviewBitmapFlag;
        task.PreviewRelay = [&](TTaskRunner&, const TPreviewInfo& info) {
          shots.push_back({info.FrameNumber, lib::av_gettime(), info.Bitmap->Width(), info.Bitmap->Height()});
          lib::av_usleep(30000);  // a slow handler: the next pictures fall inside the interval
        };
      });
  ASSERT_EQ(run.error, "");
  ASSERT_FALSE(shots.empty());
  EXPECT_EQ(shots[0].frame, 1);
  EXPECT_EQ(shots[0].width, 320);
  EXPECT_EQ(shots[0].height, 240);
  EXPECT_LT(shots.size(), 50u);
  for (size_t i = 1; i < shots.size(); ++i) EXPECT_GT(shots[i].frame, shots[i - 1].frame);
  // The interval is measured before each picture is converted, and the handler
  // sees the picture after its conversion, which takes a varying time. Single
  // gaps may therefore be shorter than the interval; their sum may only fall
  // short by the first picture's conversion time, far less than an interval.
  if (shots.size() > 1) {
    const int64_t span = shots.back().at - shots.front().at;
    EXPECT_GE(span, static_cast<int64_t>(shots.size() - 1) * TTaskRunner::kPreviewInterval -
                        TTaskRunner::kPreviewInterval / 2);
  }
}

// The deinterlacer filters the lines of each picture: the result is close to
// the original but not equal to it (the input's moving pattern has detail
// from line to line).
TEST(Deinterlace, FiltersEveryPicture) {
  TOutputOptions options = RawVideo();
  options.ExtraOptions = "deinterlace=1";
  const std::string out = TempPath("deinterlaced.avi");
  converttest::Conversion run = Convert(testsupport::AviMpeg4Mp3(), out, options);
  ASSERT_EQ(run.error, "");
  int w = 0, h = 0;
  auto in = testsupport::DecodeVideoFrames(testsupport::AviMpeg4Mp3(), 3, &w, &h, AV_PIX_FMT_GRAY8);
  auto got = testsupport::DecodeVideoFrames(out, 3, &w, &h, AV_PIX_FMT_GRAY8);
  ASSERT_EQ(got.size(), 3u);
  for (size_t f = 0; f < 3; ++f) {
    int changed = 0;
    double difference = 0;
    for (size_t i = 0; i < got[f].size(); ++i) {
      const int d = std::abs(int(got[f][i]) - int(in[f][i]));
      changed += d > 3;
      difference += d;
    }
    EXPECT_GT(changed, 0) << "frame " << f;
    EXPECT_LT(difference / double(got[f].size()), 8.0) << "frame " << f;
  }
}

TEST(ProgressReport, VideoReportsStartWithTheFirstEncodedPicture) {
  TOutputOptions options;
  options.VideoCodec = "mpeg4";
  options.AudioCodec = "libmp3lame";
  converttest::Conversion run = Convert(testsupport::AviMpeg4Mp3(), TempPath("progress.avi"), options,
                                        [](TCustomFFmpeg& task) { task.ReportInterval = 0; });
  ASSERT_EQ(run.error, "");
  ASSERT_GE(run.progress.size(), 3u);
  for (const TProgressInfo& info : run.progress) {
    EXPECT_GE(info.FrameNumber, 1);
    EXPECT_GE(info.CurrentDuration, 10000);
    EXPECT_GE(info.FPS, 0);
  }
  for (size_t i = 0; i + 1 < run.progress.size(); ++i) EXPECT_EQ(run.progress[i].FileIndex, 0);
  const TProgressInfo& last = run.progress.back();
  EXPECT_EQ(last.FileIndex, -1);
  EXPECT_EQ(last.FrameNumber, 50);
  EXPECT_GT(last.Quality, 0);  // quantizer of the last picture
  EXPECT_GT(last.BitRate, 0);
  EXPECT_NEAR(double(last.CurrentDuration) / 1e6, 2.0, 0.2);
}

TEST(ProgressReport, AudioOnlyReportsWithoutPictureFields) {
  TOutputOptions options;
  options.AudioCodec = "libmp3lame";
  options.DisableVideo = true;
  converttest::Conversion run = Convert(testsupport::AviMpeg4Mp3(), TempPath("progress.mp3"), options,
                                        [](TCustomFFmpeg& task) { task.ReportInterval = 0; });
  ASSERT_EQ(run.error, "");
  ASSERT_GE(run.progress.size(), 3u);
  // Time never shows less than 0.01 s and only grows.
  int64_t before = 10000;
  for (const TProgressInfo& info : run.progress) {
    EXPECT_GE(info.CurrentDuration, before);
    before = info.CurrentDuration;
    EXPECT_EQ(info.FrameNumber, -1);
    EXPECT_EQ(info.FPS, -1);
    EXPECT_EQ(info.Quality, -1);
  }
  EXPECT_EQ(run.progress.back().FileIndex, -1);
}

TEST(Statistics, VideoStatsFileHasALinePerPicture) {
  const std::string stats = TempPath("vstats.txt");
  TOutputOptions options;
  options.VideoCodec = "mpeg4";
  options.DisableAudio = true;
  options.ExtraOptions = "vstats_file=" + stats + "\npsnr=1\nqphist=1";
  converttest::Conversion run = Convert(testsupport::AviMpeg4Mp3(), TempPath("stats.avi"), options);
  ASSERT_EQ(run.error, "");
  std::ifstream file(stats);
  ASSERT_TRUE(file.good());
  int lines = 0, intra = 0;
  for (std::string line; std::getline(file, line);) {
    ++lines;
    EXPECT_EQ(line.rfind("frame= ", 0), 0u) << line;
    EXPECT_NE(line.find("PSNR= "), std::string::npos) << line;
    EXPECT_NE(line.find(" f_size= "), std::string::npos) << line;
    intra += line.find("type= I") != std::string::npos;
  }
  EXPECT_EQ(lines, 50);
  EXPECT_GE(intra, 1);
}

}  // namespace
