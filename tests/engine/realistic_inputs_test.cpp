// Inputs as they come from phones, camcorders, discs and music collections:
// odd picture sizes, recorded turns, interlaced pictures, cover pictures,
// video without sound, and filters that hold pictures back until the end.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "convert_support.h"
#include "media/ffmpeg_logger.h"

using converttest::Convert;
using testsupport::MediaSpec;
using testsupport::ReadMedia;
using testsupport::TempPath;

namespace {

// Every line the logger receives while it lives.
struct LogLines {
  std::mutex lock;
  std::vector<std::string> lines;  // guarded by lock
  LogLines() {
    DefaultLogger().SetOnLog([this](const void*, uint32_t, TLogLevel, const std::string& text) {
      std::lock_guard<std::mutex> guard(lock);
      lines.push_back(text);
    });
  }
  ~LogLines() { DefaultLogger().SetOnLog(nullptr); }
  int Containing(const std::string& part) {
    std::lock_guard<std::mutex> guard(lock);
    int n = 0;
    for (const std::string& line : lines) n += line.find(part) != std::string::npos;
    return n;
  }
};

MediaSpec VideoClip(const std::string& container, const std::string& codec, int width, int height) {
  MediaSpec spec;
  spec.container = container;
  spec.videoCodec = codec;
  spec.width = width;
  spec.height = height;
  spec.seconds = 0.4;
  return spec;
}

TOutputOptions VideoOnly(const std::string& codec) {
  TOutputOptions options;
  options.VideoCodec = codec;
  options.DisableAudio = true;
  return options;
}

// First picture of a file as grey levels, with its size.
struct Picture {
  std::vector<uint8_t> pixels;
  int width = 0, height = 0;
  int At(int x, int y) const { return pixels[size_t(y * width + x)]; }
};

Picture FirstPicture(const std::string& path) {
  Picture p;
  auto frames = testsupport::DecodeVideoFrames(path, 1, &p.width, &p.height, AV_PIX_FMT_GRAY8);
  if (!frames.empty()) p.pixels = std::move(frames[0]);
  return p;
}

// The picture turned clockwise by rotation degrees.
Picture Turned(const Picture& in, int rotation) {
  Picture out;
  const bool swap = rotation == 90 || rotation == 270;
  out.width = swap ? in.height : in.width;
  out.height = swap ? in.width : in.height;
  out.pixels.resize(in.pixels.size());
  for (int y = 0; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x) {
      int sx = x, sy = y;
      if (rotation == 90) sx = y, sy = in.height - 1 - x;
      if (rotation == 180) sx = in.width - 1 - x, sy = in.height - 1 - y;
      if (rotation == 270) sx = in.width - 1 - y, sy = x;
      out.pixels[size_t(y * out.width + x)] = uint8_t(in.At(sx, sy));
    }
  return out;
}

double MeanDifference(const Picture& a, const Picture& b) {
  if (a.width != b.width || a.height != b.height || a.pixels.empty()) return 1e9;
  double sum = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) sum += std::abs(int(a.pixels[i]) - int(b.pixels[i]));
  return sum / double(a.pixels.size());
}

// Mean difference between neighbouring rows: high when the two fields of
// an interlaced picture are woven together.
double Combing(const Picture& p) {
  double sum = 0;
  for (int y = 0; y + 1 < p.height; ++y)
    for (int x = 0; x < p.width; ++x) sum += std::abs(p.At(x, y) - p.At(x, y + 1));
  return sum / double(p.width * (p.height - 1));
}

TEST(OddPictureSize, AnInputSizeTheEncoderCannotTakeIsRoundedDownOnce) {
  if (!testsupport::EncoderAvailable("libx264")) GTEST_SKIP() << "no libx264 in this build";
  const std::string input = testsupport::CachedMedia("odd_321x241.avi", VideoClip("avi", "mpeg4", 321, 241));
  const int inputFrames = int(ReadMedia(input).videoFrames());
  // Cropped at the right and bottom on the direct path, and through the
  // filter graph when there is one.
  for (const char* filters : {"", "hflip"}) {
    SCOPED_TRACE(std::string("filters '") + filters + "'");
    LogLines log;
    TOutputOptions options = VideoOnly("libx264");
    options.VideoFilters = filters;
    const std::string out = TempPath(std::string("odd_size") + (*filters ? "_filtered" : "") + ".mp4");
    const converttest::Conversion run = Convert(input, out, options);
    ASSERT_EQ(run.error, "");
    const testsupport::MediaSummary s = ReadMedia(out);
    ASSERT_TRUE(s.ok) << s.error;
    const testsupport::StreamSummary* v = s.first(AVMEDIA_TYPE_VIDEO);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->width, 320);
    EXPECT_EQ(v->height, 240);
    EXPECT_EQ(s.videoFrames(), inputFrames);
    EXPECT_EQ(log.Containing("the encoder takes no 321x241 picture in yuv420p, using 320x240"), 1);
  }
}

TEST(FilterFlush, PicturesHeldBackByFiltersAreEncodedAtTheEnd) {
  const std::string input = testsupport::CachedMedia("flush_25fps.avi", VideoClip("avi", "mpeg4", 160, 120));
  const int inputFrames = int(ReadMedia(input).videoFrames());
  ASSERT_EQ(inputFrames, 10);
  // Both double the rate: a field per picture, and every picture twice.
  // Each holds its last pictures until it learns that no more come.
  for (const char* filters : {"yadif=1", "fps=fps=50"}) {
    SCOPED_TRACE(filters);
    TOutputOptions options = VideoOnly("mpeg4");
    options.FrameRate = "50";
    options.VideoFilters = filters;
    const std::string out = TempPath(std::string("flush_") + (filters[0] == 'y' ? "yadif" : "fps") + ".avi");
    const converttest::Conversion run = Convert(input, out, options);
    ASSERT_EQ(run.error, "");
    EXPECT_EQ(ReadMedia(out).videoFrames(), 2 * inputFrames);
  }
}

std::string RotatedClip(int rotation) {
  MediaSpec spec = VideoClip("mp4", "mpeg4", 96, 64);
  spec.rotation = rotation;
  return testsupport::CachedMedia("turned_" + std::to_string(rotation) + ".mp4", spec);
}

TEST(RotatedVideo, EncodingTurnsThePicturesUprightAndRecordsNoTurn) {
  for (int rotation : {90, 180, 270}) {
    SCOPED_TRACE("rotation " + std::to_string(rotation));
    const std::string input = RotatedClip(rotation);
    ASSERT_EQ(ReadMedia(input).first(AVMEDIA_TYPE_VIDEO)->rotation, rotation);
    const std::string out = TempPath("upright_" + std::to_string(rotation) + ".mp4");
    const converttest::Conversion run = Convert(input, out, VideoOnly("mpeg4"));
    ASSERT_EQ(run.error, "");
    const testsupport::MediaSummary s = ReadMedia(out);
    ASSERT_TRUE(s.ok) << s.error;
    const testsupport::StreamSummary* v = s.first(AVMEDIA_TYPE_VIDEO);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->rotation, 0);
    const Picture expected = Turned(FirstPicture(input), rotation);
    const Picture got = FirstPicture(out);
    EXPECT_EQ(got.width, expected.width);
    EXPECT_EQ(got.height, expected.height);
    EXPECT_LT(MeanDifference(got, expected), 8.0);
  }
}

TEST(RotatedVideo, AGivenSizeIsThatOfTheUprightPictureAndCopyingKeepsTheTurn) {
  const std::string input = RotatedClip(90);
  // The upright picture is 64x96: asking for that size needs no scaling
  // when the turn comes first.
  TOutputOptions options = VideoOnly("mpeg4");
  options.FrameSize = "64x96";
  const std::string out = TempPath("upright_sized.mp4");
  ASSERT_EQ(Convert(input, out, options).error, "");
  EXPECT_LT(MeanDifference(FirstPicture(out), Turned(FirstPicture(input), 90)), 8.0);

  TOutputOptions copy;
  copy.ExtraOptions = "vcodec=copy";
  copy.DisableAudio = true;
  const std::string copied = TempPath("turned_copy.mp4");
  ASSERT_EQ(Convert(input, copied, copy).error, "");
  const testsupport::MediaSummary s = ReadMedia(copied);
  ASSERT_TRUE(s.ok) << s.error;
  ASSERT_NE(s.first(AVMEDIA_TYPE_VIDEO), nullptr);
  EXPECT_EQ(s.first(AVMEDIA_TYPE_VIDEO)->rotation, 90);
  EXPECT_EQ(s.first(AVMEDIA_TYPE_VIDEO)->width, 96);
}

TEST(InterlacedVideo, ProgressiveOutputsGetOnePicturePerFrameWithoutWeaving) {
  MediaSpec spec = VideoClip("avi", "mpeg2video", 160, 120);
  spec.interlaced = true;
  const std::string input = testsupport::CachedMedia("interlaced.avi", spec);
  ASSERT_GT(Combing(FirstPicture(input)), 100.0);
  const int64_t inputFrames = ReadMedia(input).videoFrames();

  LogLines log;
  const std::string out = TempPath("deinterlaced.avi");
  ASSERT_EQ(Convert(input, out, VideoOnly("mpeg4")).error, "");
  EXPECT_LT(Combing(FirstPicture(out)), 30.0);
  EXPECT_EQ(ReadMedia(out).videoFrames(), inputFrames);
  EXPECT_EQ(log.Containing("Input stream #0.0 is interlaced: deinterlacing it"), 1);

  // Interlaced coding asked for: the fields stay as they are.
  TOutputOptions interlaced = VideoOnly("mpeg4");
  interlaced.ExtraOptions = "flags=+ildct+ilme";
  const std::string kept = TempPath("kept_interlaced.avi");
  ASSERT_EQ(Convert(input, kept, interlaced).error, "");
  EXPECT_GT(Combing(FirstPicture(kept)), 60.0);
}

TEST(CoverPicture, MusicWithCoverArtConvertsToMp4AndMov) {
  MediaSpec spec;
  spec.container = "mp3";
  spec.audioCodecs = {"libmp3lame"};
  spec.coverPicture = true;
  spec.width = spec.height = 64;
  spec.seconds = 1.0;
  const std::string input = testsupport::CachedMedia("with_cover.mp3", spec);
  const testsupport::MediaSummary source = ReadMedia(input);
  ASSERT_TRUE(source.ok) << source.error;
  ASSERT_NE(source.first(AVMEDIA_TYPE_VIDEO), nullptr);
  ASSERT_TRUE(source.first(AVMEDIA_TYPE_VIDEO)->attachedPicture);

  for (const char* ext : {"mp4", "mov"}) {
    SCOPED_TRACE(ext);
    TOutputOptions options;
    options.VideoCodec = "mpeg4";
    options.AudioCodec = "aac";
    const std::string out = TempPath(std::string("cover.") + ext);
    ASSERT_EQ(Convert(input, out, options).error, "");
    const testsupport::MediaSummary s = ReadMedia(out);
    ASSERT_TRUE(s.ok) << s.error;
    ASSERT_NE(s.first(AVMEDIA_TYPE_VIDEO), nullptr);
    EXPECT_FALSE(s.first(AVMEDIA_TYPE_VIDEO)->attachedPicture);
    EXPECT_GE(s.videoFrames(), 1);
    ASSERT_NE(s.first(AVMEDIA_TYPE_AUDIO), nullptr);
    EXPECT_NEAR(converttest::Seconds(s.first(AVMEDIA_TYPE_AUDIO)->durationUs), 1.0, 0.1);
  }
}

TEST(VideoWithoutSound, AnAudioOnlyOutputSaysTheInputHasNoSound) {
  const std::string input = testsupport::CachedMedia("silent.avi", VideoClip("avi", "mpeg4", 160, 120));
  TOutputOptions options;
  options.DisableVideo = true;
  const std::string out = TempPath("silent.mp3");
  const converttest::Conversion run = Convert(input, out, options);
  EXPECT_EQ(run.error, "The input has no sound (no audio stream): there is nothing to convert");
  EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
