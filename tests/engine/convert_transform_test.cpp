// Conversions that change the picture or the sound on the way: size, frame
// rate, filters, crop, volume, channel layout and sample rate, cuts and
// two-pass encoding. Outputs are read back and compared with the input.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "convert_support.h"

using converttest::Convert;
using converttest::FrameRate;
using converttest::Seconds;
using testsupport::ReadMedia;
using testsupport::TempPath;

namespace {

double Rms(const std::vector<float>& samples) {
  double sum = 0;
  for (float s : samples) sum += double(s) * s;
  return samples.empty() ? 0 : std::sqrt(sum / double(samples.size()));
}

TEST(ConvertPicture, ScalesToTheRequestedSizeWithCaptionText) {
  testsupport::MediaSpec spec = testsupport::AviMpeg4Mp3Spec();
  spec.width = 480;
  spec.height = 360;
  spec.seconds = 1.0;
  const std::string input = testsupport::CachedMedia("mpeg4_480x360.avi", spec);
  TOutputOptions options;
  options.VideoCodec = "mpeg4";
  options.AudioCodec = "libmp3lame";
  options.FrameSize = "320*240 (PSP所有固件版本适用)";
  const std::string out = TempPath("scaled.avi");
  converttest::Conversion run = Convert(input, out, options);
  ASSERT_EQ(run.error, "");
  testsupport::MediaSummary s = ReadMedia(out);
  ASSERT_TRUE(s.ok) << s.error;
  const testsupport::StreamSummary* v = s.first(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->width, 320);
  EXPECT_EQ(v->height, 240);
  EXPECT_NEAR(double(v->packets), 25, 2);
}

// 25 fps into 29.97 fps in a constant-rate container: about one picture in
// six is written twice, and the picture count follows the new rate.
TEST(ConvertPicture, HigherFrameRateDuplicatesPictures) {
  TOutputOptions options;
  options.VideoCodec = "mpeg4";
  options.AudioCodec = "libmp3lame";
  options.FrameRate = "29.97";
  const std::string out = TempPath("ntsc_rate.avi");
  converttest::Conversion run = Convert(testsupport::AviMpeg4Mp3(), out, options);
  ASSERT_EQ(run.error, "");
  testsupport::MediaSummary s = ReadMedia(out);
  ASSERT_TRUE(s.ok) << s.error;
  const testsupport::StreamSummary* v = s.first(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(v, nullptr);
  EXPECT_NEAR(FrameRate(*v), 29.97, 0.01);
  EXPECT_NEAR(double(v->packets), 2.0 * 29.97, 3);
}

// The same at vsync 0: no picture is duplicated or dropped.
TEST(ConvertPicture, PassThroughSyncKeepsEveryPicture) {
  TOutputOptions options;
  options.VideoCodec = "mpeg4";
  options.DisableAudio = true;
  options.FrameRate = "29.97";
  options.VideoSyncMethod = 0;
  const std::string out = TempPath("vsync0.mkv");
  converttest::Conversion run = Convert(testsupport::AviMpeg4Mp3(), out, options);
  ASSERT_EQ(run.error, "");
  testsupport::MediaSummary s = ReadMedia(out);
  ASSERT_TRUE(s.ok) << s.error;
  EXPECT_EQ(s.videoFrames(), 50);
}

// Raw pictures keep the exact pixels, so the filters and the crop can be
// checked pixel by pixel against the decoded input.
struct Pictures {
  std::vector<std::vector<uint8_t>> frames;
  int width = 0, height = 0;
};

Pictures Gray(const std::string& path, int count) {
  Pictures p;
  p.frames = testsupport::DecodeVideoFrames(path, count, &p.width, &p.height, AV_PIX_FMT_GRAY8);
  return p;
}

Pictures Filtered(const std::string& filters, const std::string& name) {
  TOutputOptions options;
  options.VideoCodec = "rawvideo";
  options.DisableAudio = true;
  options.VideoFilters = filters;
  options.RecordingTime = 200000;
  const std::string out = TempPath(name);
  converttest::Conversion run = Convert(testsupport::AviMpeg4Mp3(), out, options);
  EXPECT_EQ(run.error, "") << filters;
  return Gray(out, 3);
}

TEST(ConvertPicture, FlipAndNegateFilters) {
  Pictures in = Gray(testsupport::AviMpeg4Mp3(), 3);
  Pictures negated = Filtered("negate", "negated.avi");
  Pictures all = Filtered("hflip,vflip,negate", "flipped.avi");
  ASSERT_EQ(negated.frames.size(), 3u);
  ASSERT_EQ(all.frames.size(), 3u);
  ASSERT_EQ(all.width, in.width);
  ASSERT_EQ(all.height, in.height);
  const int w = in.width, h = in.height;
  // negate: dark becomes light; the sum of a pixel and its negative is the
  // same everywhere (away from the clipped ends).
  int notNegated = 0, notFlipped = 0, counted = 0;
  double sum = 0;
  std::vector<int> sums;
  for (int f = 0; f < 3; ++f)
    for (int y = 0; y < h; y += 7)
      for (int x = 0; x < w; x += 5) {
        const size_t at = size_t(y * w + x);
        const int value = in.frames[f][at];
        if (value > 24 && value < 230) {
          sums.push_back(value + negated.frames[f][at]);
          sum += sums.back();
        }
        // hflip,vflip: the negated picture turned by half a turn.
        const int expect = negated.frames[f][size_t((h - 1 - y) * w + (w - 1 - x))];
        if (std::abs(int(all.frames[f][at]) - expect) > 2) ++notFlipped;
        ++counted;
      }
  ASSERT_FALSE(sums.empty());
  const double mean = sum / double(sums.size());
  for (int v : sums) notNegated += std::fabs(v - mean) > 6;
  EXPECT_NEAR(mean, 255, 12);
  EXPECT_EQ(notNegated, 0);
  EXPECT_EQ(notFlipped, 0) << "of " << counted;
}

TEST(ConvertPicture, CropBandsCutThePicture) {
  TOutputOptions options;
  options.VideoCodec = "rawvideo";
  options.DisableAudio = true;
  options.CropTop = 16;
  options.CropBottom = 32;
  options.CropLeft = 8;
  options.CropRight = 24;
  options.RecordingTime = 200000;
  const std::string out = TempPath("cropped.avi");
  converttest::Conversion run = Convert(testsupport::AviMpeg4Mp3(), out, options);
  ASSERT_EQ(run.error, "");
  Pictures in = Gray(testsupport::AviMpeg4Mp3(), 2);
  Pictures got = Gray(out, 2);
  ASSERT_EQ(got.frames.size(), 2u);
  ASSERT_EQ(got.width, 320 - 8 - 24);
  ASSERT_EQ(got.height, 240 - 16 - 32);
  int wrong = 0;
  for (int y = 0; y < got.height; y += 3)
    for (int x = 0; x < got.width; x += 3)
      if (std::abs(int(got.frames[1][size_t(y * got.width + x)]) -
                   int(in.frames[1][size_t((y + 16) * in.width + x + 8)])) > 2)
        ++wrong;
  EXPECT_EQ(wrong, 0);

  // An encoder gets the cropped picture in buffers of its own.
  options.VideoCodec = "mpeg4";
  const std::string encoded = TempPath("cropped_mpeg4.avi");
  ASSERT_EQ(Convert(testsupport::AviMpeg4Mp3(), encoded, options).error, "");
  testsupport::MediaSummary s = ReadMedia(encoded);
  ASSERT_TRUE(s.ok) << s.error;
  ASSERT_NE(s.first(AVMEDIA_TYPE_VIDEO), nullptr);
  EXPECT_EQ(s.first(AVMEDIA_TYPE_VIDEO)->width, 288);
  EXPECT_EQ(s.first(AVMEDIA_TYPE_VIDEO)->height, 192);
  EXPECT_NEAR(double(s.videoFrames()), 5, 1);
}

TEST(ConvertPicture, CutWithStartAndDuration) {
  TOutputOptions options;
  options.VideoCodec = "mpeg4";
  options.AudioCodec = "libmp3lame";
  options.StartTime = 500000;
  options.RecordingTime = 1000000;
  const std::string out = TempPath("cut.avi");
  converttest::Conversion run = Convert(testsupport::AviMpeg4Mp3(), out, options);
  ASSERT_EQ(run.error, "");
  testsupport::MediaSummary s = ReadMedia(out);
  ASSERT_TRUE(s.ok) << s.error;
  const testsupport::StreamSummary* v = s.first(AVMEDIA_TYPE_VIDEO);
  const testsupport::StreamSummary* a = s.first(AVMEDIA_TYPE_AUDIO);
  ASSERT_NE(v, nullptr);
  ASSERT_NE(a, nullptr);
  EXPECT_NEAR(double(v->packets), 25, 2);
  EXPECT_NEAR(Seconds(a->durationUs), 1.0, 0.1);
  EXPECT_LT(Seconds(s.durationUs), 1.2);
}

TEST(ConvertPicture, TwoPassEncoding) {
  const std::string prefix = TempPath("twopass");
  for (int pass = 1; pass <= 2; ++pass) {
    TOutputOptions options;
    options.VideoCodec = "mpeg4";
    options.DisableAudio = true;
    options.VideoBitrate = 200000;
    options.ExtraOptions = "pass=" + std::to_string(pass) + "\npasslogfile=" + prefix;
    const std::string out = TempPath("pass" + std::to_string(pass) + ".avi");
    converttest::Conversion run = Convert(testsupport::AviMpeg4Mp3(), out, options);
    ASSERT_EQ(run.error, "") << "pass " << pass;
    if (pass == 1) {
      // The first pass leaves one statistics line per picture.
      std::ifstream log(prefix + "-0.log");
      ASSERT_TRUE(log.good());
      int lines = 0;
      for (std::string line; std::getline(log, line);) lines += line.find("in:") != std::string::npos;
      EXPECT_GE(lines, 50);
    } else {
      testsupport::MediaSummary s = ReadMedia(out);
      ASSERT_TRUE(s.ok) << s.error;
      EXPECT_EQ(s.videoFrames(), 50);
    }
  }
}

// A statistics file no buffer can hold (sparse, so it takes no disk space)
// fails the second pass with the allocation message, not with a crash.
TEST(ConvertPicture, SecondPassLogTooLargeToHoldIsRefused) {
  const std::string prefix = TempPath("hugepass");
  const std::string log = prefix + "-0.log";
  {
    std::ofstream create(log, std::ios::binary | std::ios::trunc);
  }
  ASSERT_EQ(truncate(log.c_str(), off_t(1) << 31), 0);
  TOutputOptions options;
  options.VideoCodec = "mpeg4";
  options.DisableAudio = true;
  options.ExtraOptions = "pass=2\npasslogfile=" + prefix;
  const converttest::Conversion run = Convert(testsupport::AviMpeg4Mp3(), TempPath("hugepass.avi"), options);
  std::remove(log.c_str());
  EXPECT_EQ(run.error, "Could not allocate file buffer: Error reading log file \"" + log + "\" for pass-2 encoding");
}

TEST(ConvertSound, VolumeDoublesTheLevel) {
  TOutputOptions options;
  options.DisableVideo = true;
  options.AudioCodec = "pcm_s16le";
  options.AudioVolume = 512;
  const std::string out = TempPath("louder.wav");
  converttest::Conversion run = Convert(testsupport::AviMpeg4Mp3(), out, options);
  ASSERT_EQ(run.error, "");
  std::vector<float> in = testsupport::DecodeAudioSamples(testsupport::AviMpeg4Mp3(), 1.5, nullptr, nullptr);
  std::vector<float> got = testsupport::DecodeAudioSamples(out, 1.5, nullptr, nullptr);
  ASSERT_FALSE(in.empty());
  ASSERT_FALSE(got.empty());
  float peak = 0;
  for (float s : in) peak = std::max(peak, std::fabs(s));
  if (peak < 0.45f)
    EXPECT_NEAR(Rms(got) / Rms(in), 2.0, 0.05);
  else
    EXPECT_GT(Rms(got) / Rms(in), 1.3);  // clipped at full scale
}

TEST(ConvertSound, StereoToMonoAtAnotherRate) {
  testsupport::MediaSpec spec;
  spec.container = "wav";
  spec.audioCodecs = {"pcm_s16le"};
  spec.sampleRate = 48000;
  spec.channels = 2;
  const std::string input = testsupport::CachedMedia("stereo48k.wav", spec);
  TOutputOptions options;
  options.AudioCodec = "libmp3lame";
  options.AudioChannels = 1;
  options.AudioSampleRate = 22050;
  const std::string out = TempPath("mono22k.mp3");
  converttest::Conversion run = Convert(input, out, options);
  ASSERT_EQ(run.error, "");
  testsupport::MediaSummary s = ReadMedia(out);
  ASSERT_TRUE(s.ok) << s.error;
  const testsupport::StreamSummary* a = s.first(AVMEDIA_TYPE_AUDIO);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->sampleRate, 22050);
  EXPECT_EQ(a->channels, 1);
  EXPECT_NEAR(Seconds(a->durationUs), 2.0, 0.1);
  // The tone survives the conversion at its level (a down-mix of two equal
  // channels keeps it).
  std::vector<float> in = testsupport::DecodeAudioSamples(input, 1.5, nullptr, nullptr);
  std::vector<float> got = testsupport::DecodeAudioSamples(out, 1.5, nullptr, nullptr);
  EXPECT_NEAR(Rms(got) / Rms(in), 1.0, 0.2);
}

// Drift compensation through the resampler must not lose or add sound.
TEST(ConvertSound, AudioSyncKeepsTheDuration) {
  for (int method : {1, 100}) {
    TOutputOptions options;
    options.DisableVideo = true;
    options.AudioCodec = "aac";
    options.AudioSyncMethod = method;
    const std::string out = TempPath("async" + std::to_string(method) + ".m4a");
    converttest::Conversion run = Convert(testsupport::AviMpeg4Mp3(), out, options);
    ASSERT_EQ(run.error, "") << "async " << method;
    testsupport::MediaSummary s = ReadMedia(out);
    ASSERT_TRUE(s.ok) << s.error;
    const testsupport::StreamSummary* a = s.first(AVMEDIA_TYPE_AUDIO);
    ASSERT_NE(a, nullptr);
    EXPECT_NEAR(Seconds(a->durationUs), 2.0, 0.1) << "async " << method;
  }
}

}  // namespace
