// Whole conversions into the output kinds the program offers, read back and
// checked stream by stream.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "convert_support.h"

using converttest::Convert;
using converttest::FrameRate;
using converttest::Seconds;
using testsupport::ReadMedia;
using testsupport::TempPath;

namespace {

struct FormatCase {
  const char* name;
  const char* file;         // output file name (its extension picks the container)
  const char* videoCodec;   // "" = no video output
  const char* audioCodec;   // "" = no audio output
  const char* videoTag;
  const char* preset;       // video preset ("" = none)
  const char* extra;        // more option lines
  const char* expectVideo;  // codec name read back ("" = no video stream)
  const char* expectAudio;
  int sampleRate;           // expected; 0 = the input's 44100
};

const FormatCase kCases[] = {
    {"AviMpeg4Mp3", "out.avi", "mpeg4", "libmp3lame", "DX50", "", "", "mpeg4", "mp3", 0},
    {"Mp4H264Aac", "out.mp4", "libx264", "aac", "", "default", "", "h264", "aac", 0},
    {"MpegMpeg1Mp2", "out.mpg", "mpeg1video", "mp2", "", "", "", "mpeg1video", "mp2", 0},
    {"AsfWmv2Wma", "out.asf", "wmv2", "wmav2", "", "", "", "wmv2", "wmav2", 0},
    {"FlvFlv1Mp3", "out.flv", "flv", "libmp3lame", "", "", "", "flv1", "mp3", 0},
    {"AviMjpeg", "mjpeg.avi", "mjpeg", "pcm_s16le", "", "", "", "mjpeg", "pcm_s16le", 0},
    {"Mp3", "out.mp3", "", "libmp3lame", "", "", "", "", "mp3", 0},
    {"Wav", "out.wav", "", "pcm_s16le", "", "", "", "", "pcm_s16le", 0},
    {"Flac", "out.flac", "", "flac", "", "", "", "", "flac", 0},
    {"OggVorbis", "out.ogg", "", "libvorbis", "", "", "", "", "vorbis", 0},
    {"Ac3", "out.ac3", "", "ac3", "", "", "ar=48000", "", "ac3", 48000},
};

class ConvertFormats : public ::testing::TestWithParam<FormatCase> {};

TEST_P(ConvertFormats, WritesReadableOutput) {
  const FormatCase& c = GetParam();
  for (const char* codec : {c.videoCodec, c.audioCodec})
    if (*codec && !testsupport::EncoderAvailable(codec)) GTEST_SKIP() << "no encoder " << codec;

  TOutputOptions options;
  options.VideoCodec = c.videoCodec;
  options.AudioCodec = c.audioCodec;
  options.DisableVideo = !*c.videoCodec;
  options.VideoTag = c.videoTag;
  options.VideoPreset = c.preset;
  options.ExtraOptions = c.extra;
  const std::string out = TempPath(std::string(c.name) + "_" + c.file);
  converttest::Conversion run = Convert(testsupport::AviMpeg4Mp3(), out, options);
  ASSERT_EQ(run.error, "");
  EXPECT_TRUE(run.finished);

  testsupport::MediaSummary s = ReadMedia(out);
  ASSERT_TRUE(s.ok) << s.error;
  EXPECT_NEAR(Seconds(s.durationUs), 2.0, 0.25);
  const testsupport::StreamSummary* v = s.first(AVMEDIA_TYPE_VIDEO);
  if (*c.expectVideo) {
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->codec, c.expectVideo);
    EXPECT_EQ(v->width, 320);
    EXPECT_EQ(v->height, 240);
    EXPECT_NEAR(double(v->packets), 50, 3);
    if (*c.videoTag) {
      EXPECT_EQ(v->tag, c.videoTag);
    }
  } else {
    EXPECT_EQ(v, nullptr);
  }
  const testsupport::StreamSummary* a = s.first(AVMEDIA_TYPE_AUDIO);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->codec, c.expectAudio);
  EXPECT_EQ(a->sampleRate, c.sampleRate ? c.sampleRate : 44100);
  EXPECT_EQ(a->channels, 2);
  EXPECT_NEAR(Seconds(a->durationUs), 2.0, 0.25);

  // The last report carries file index -1 and the output's size.
  ASSERT_FALSE(run.progress.empty());
  EXPECT_EQ(run.progress.back().FileIndex, -1);
  EXPECT_GT(run.progress.back().TotalSize, 0);
  EXPECT_NEAR(Seconds(run.progress.back().CurrentDuration), 2.0, 0.3);
}

INSTANTIATE_TEST_SUITE_P(Outputs, ConvertFormats, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
