// The audio path's synchronisation and sample conversions, checked on the
// decoded output.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "convert_support.h"

using converttest::Seconds;
using testsupport::ReadMedia;
using testsupport::TempPath;

namespace {

double Rms(const std::vector<float>& s, size_t from, size_t to) {
  double sum = 0;
  to = std::min(to, s.size());
  if (from >= to) return 0;
  for (size_t i = from; i < to; ++i) sum += double(s[i]) * s[i];
  return std::sqrt(sum / double(to - from));
}

// Video from the first input, sound from the second whose timestamps start
// 0.5 s later; the output has both.
std::string LateSound(int audioSync, const std::string& name) {
  testsupport::LoadConverterLibraries();
  TCustomFFmpeg task;
  task.ResetTask();
  task.Verbose = -1;
  const std::string out = TempPath(name);
  EXPECT_TRUE(task.OpenInputFile(engine::Utf8ToWide(testsupport::AviMpeg4Mp3())));
  TInputOptions late;
  late.ExtraOptions = "itsoffset=0.5";
  task.ApplyInputOptions(late);
  EXPECT_TRUE(task.OpenInputFile(engine::Utf8ToWide(testsupport::WavPcm())));
  TOutputOptions options;
  options.VideoCodec = "mpeg4";
  options.AudioCodec = "pcm_s16le";
  options.AudioSyncMethod = audioSync;
  options.ExtraOptions = "map=0.0\nmap=1.0";
  task.ApplyOutputOptions(options);
  EXPECT_GE(task.OpenOutputFile(engine::Utf8ToWide(out), false), 0) << task.LastOpenError();
  task.StartConvert(false, tpNormal);
  EXPECT_FALSE(task.Exception()) << task.ExceptionMsg();
  return out;
}

// async=1: the sound that starts 0.5 s after the output clock gets 0.5 s of
// silence in front, once.
TEST(AudioSync, LateSoundIsPaddedWithSilence) {
  const std::string out = LateSound(1, "late_async.avi");
  int channels = 0, rate = 0;
  std::vector<float> samples = testsupport::DecodeAudioSamples(out, 3.0, &channels, &rate);
  ASSERT_EQ(channels, 2);
  ASSERT_EQ(rate, 44100);
  const size_t perSecond = size_t(channels) * size_t(rate);
  EXPECT_LT(Rms(samples, 0, perSecond * 45 / 100), 0.001);               // silence up to 0.45 s
  EXPECT_GT(Rms(samples, perSecond * 55 / 100, perSecond * 2), 0.05);    // the tone from 0.55 s
  EXPECT_NEAR(double(samples.size()) / double(perSecond), 2.5, 0.05);    // 0.5 s silence + 2 s tone
}

// Without a sync method nothing is inserted: the sound keeps its length.
TEST(AudioSync, WithoutSyncNothingIsInserted) {
  const std::string out = LateSound(0, "late_plain.avi");
  int channels = 0, rate = 0;
  std::vector<float> samples = testsupport::DecodeAudioSamples(out, 3.0, &channels, &rate);
  ASSERT_GT(channels, 0);
  const size_t perSecond = size_t(channels) * size_t(rate);
  EXPECT_NEAR(double(samples.size()) / double(perSecond), 2.0, 0.05);
  EXPECT_GT(Rms(samples, 0, perSecond / 2), 0.05);
}

// A change of sample format alone keeps every sample value.
TEST(AudioConversion, SampleFormatOnly) {
  TOutputOptions options;
  options.AudioCodec = "pcm_f32le";
  const std::string out = TempPath("float.wav");
  converttest::Conversion run = converttest::Convert(testsupport::WavPcm(), out, options);
  ASSERT_EQ(run.error, "");
  std::vector<float> in = testsupport::DecodeAudioSamples(testsupport::WavPcm(), 2.0, nullptr, nullptr);
  std::vector<float> got = testsupport::DecodeAudioSamples(out, 2.0, nullptr, nullptr);
  ASSERT_EQ(got.size(), in.size());
  double worst = 0;
  for (size_t i = 0; i < in.size(); ++i) worst = std::max(worst, double(std::fabs(in[i] - got[i])));
  EXPECT_LT(worst, 1e-6);
}

// Encoders with a fixed frame size get whole frames from the FIFO: MP3's 1152
// decoded samples into AAC's 1024, then back, keep the length.
TEST(AudioConversion, FixedFrameSizesKeepTheLength) {
  TOutputOptions options;
  options.AudioCodec = "aac";
  options.DisableVideo = true;
  const std::string out = TempPath("frames.m4a");
  converttest::Conversion run = converttest::Convert(testsupport::Mp3Only(), out, options);
  ASSERT_EQ(run.error, "");
  testsupport::MediaSummary s = ReadMedia(out);
  ASSERT_TRUE(s.ok) << s.error;
  const testsupport::StreamSummary* a = s.first(AVMEDIA_TYPE_AUDIO);
  ASSERT_NE(a, nullptr);
  EXPECT_NEAR(Seconds(a->durationUs), 2.0, 0.06);
  // 2 s at 44.1 kHz in frames of 1024, plus the encoder's priming frame.
  EXPECT_NEAR(double(a->packets), 2.0 * 44100 / 1024 + 1, 2);
}

}  // namespace
