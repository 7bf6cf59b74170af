// Targets: the norm chosen from the input, every value of the vcd, svcd,
// dvd and dv rows, their messages, and conversions of a generated clip
// into files that read back as what a disc player expects.
#include <gtest/gtest.h>

#include <cmath>
#include <mutex>

#include "engine/custom_ffmpeg.h"
#include "engine/transcoder.h"
#include "media/ffmpeg_logger.h"
#include "media/library_tables.h"
#include "platform/code_page.h"
#include "support/media_libraries.h"
#include "support/test_media.h"

namespace {

// Every line the logger receives while it lives.
struct LogLines {
  std::mutex lock;
  std::vector<std::pair<TLogLevel, std::string>> lines;  // guarded by lock
  LogLines() {
    DefaultLogger().SetOnLog([this](const void*, uint32_t, TLogLevel level, const std::string& text) {
      std::lock_guard<std::mutex> guard(lock);
      lines.emplace_back(level, text);
    });
  }
  ~LogLines() { DefaultLogger().SetOnLog(nullptr); }
  int Count(const std::string& text) {
    std::lock_guard<std::mutex> guard(lock);
    int n = 0;
    for (const auto& l : lines) n += l.second == text;
    return n;
  }
};

// A short clip at the given frame rate, MPEG-4 video and audio with the
// given channel count.
std::string Clip(const std::string& name, AVRational rate, int channels = 2) {
  testsupport::MediaSpec spec;
  spec.container = "avi";
  spec.videoCodec = "mpeg4";
  spec.width = 176;
  spec.height = 144;
  spec.frameRate = rate;
  spec.audioCodecs = {"mp2"};
  spec.channels = channels;
  spec.seconds = 1.0;
  return testsupport::CachedMedia(name, spec);
}

class TargetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::LoadConverterLibraries();
    task.ResetTask();
  }
  void Open(const std::string& path) {
    ASSERT_FALSE(path.empty());
    ASSERT_TRUE(task.OpenInputFile(platform::Widen(path))) << task.LastOpenError();
  }
  std::string Failure(const std::string& name, const std::string& value) {
    try {
      task.ParseOption(name, value);
    } catch (const std::exception& e) {
      return e.what();
    }
    return "(no failure)";
  }
  int64_t CodecInt(AVMediaType type, const char* name) {
    int64_t v = 0;
    EXPECT_GE(lib::av_opt_get_int(task.OptionContext()->Codec[type], name, 0, &v), 0) << name;
    return v;
  }
  int64_t FormatInt(const char* name) {
    int64_t v = 0;
    EXPECT_GE(lib::av_opt_get_int(task.OptionContext()->Format, name, 0, &v), 0) << name;
    return v;
  }
  std::string Private(AVDictionary* dict, const char* name) {
    const AVDictionaryEntry* e = lib::av_dict_get(dict, name, nullptr, 0);
    return e ? e->value : "";
  }
  bool RateIs(int num, int den) { return o.FrameRate.num == num && o.FrameRate.den == den; }

  TCustomFFmpeg task;
  TOptionState& o = task.Options();
};

}  // namespace

TEST_F(TargetTest, PalVcdSetsEveryValueWithoutAssumingANorm) {
  Open(Clip("target_ntsc.avi", {30000, 1001}));
  LogLines log;
  task.ParseOption("target", " pal-vcd ");
  EXPECT_EQ(o.VideoCodecName.value_or(""), "mpeg1video");
  EXPECT_EQ(o.AudioCodecName.value_or(""), "mp2");
  EXPECT_EQ(o.FileFormat, "vcd");
  EXPECT_EQ(o.FrameWidth, 352);
  EXPECT_EQ(o.FrameHeight, 288);
  EXPECT_TRUE(RateIs(25, 1));
  EXPECT_EQ(CodecInt(AVMEDIA_TYPE_VIDEO, "g"), 15);
  EXPECT_EQ(CodecInt(AVMEDIA_TYPE_VIDEO, "b"), 1150000);
  EXPECT_EQ(CodecInt(AVMEDIA_TYPE_VIDEO, "maxrate"), 1150000);
  EXPECT_EQ(CodecInt(AVMEDIA_TYPE_VIDEO, "minrate"), 1150000);
  EXPECT_EQ(CodecInt(AVMEDIA_TYPE_VIDEO, "bufsize"), 327680);
  EXPECT_EQ(CodecInt(AVMEDIA_TYPE_AUDIO, "b"), 224000);
  EXPECT_EQ(FormatInt("packetsize"), 2324);
  EXPECT_EQ(Private(task.OptionContext()->MuxerPrivate, "muxrate"), "1411200");
  EXPECT_EQ(o.AudioSampleRate, 44100);
  EXPECT_EQ(o.AudioChannels, 2);
  EXPECT_FLOAT_EQ(o.MuxPreload, 0.44f);
  EXPECT_EQ(log.Count("Assuming PAL for target."), 0);
  EXPECT_EQ(log.Count("Assuming NTSC for target."), 0);
}

TEST_F(TargetTest, AutomaticNormFollowsTheInputFrameRate) {
  Open(Clip("target_film.avi", {24000, 1001}));
  LogLines log;
  task.Verbose = 1;
  task.ParseOption("target", "dvd");
  EXPECT_EQ(log.Count("Assuming NTSC for target."), 1);
  EXPECT_EQ(o.FrameWidth, 720);
  EXPECT_EQ(o.FrameHeight, 480);
  EXPECT_TRUE(RateIs(30000, 1001));
  EXPECT_EQ(CodecInt(AVMEDIA_TYPE_VIDEO, "g"), 18);

  task.ResetTask();
  Open(Clip("target_pal.avi", {25, 1}));
  task.Verbose = 0;  // the message needs Verbose above 0
  task.ParseOption("target", "svcd");
  EXPECT_EQ(log.Count("Assuming PAL for target."), 0);
  EXPECT_EQ(o.FrameHeight, 576);
  EXPECT_EQ(CodecInt(AVMEDIA_TYPE_VIDEO, "g"), 15);
}

TEST_F(TargetTest, UndecidedRateFallsBackToTheDefaultNorm) {
  const std::string clip = Clip("target_15fps.avi", {15, 1});
  Open(clip);
  task.ParseOption("target", "dvd");  // the option's default norm is NTSC
  EXPECT_EQ(o.FrameHeight, 480);

  task.ResetTask();
  Open(clip);
  task.SetTarget("dvd", "auto", "pal");
  EXPECT_EQ(o.FrameHeight, 576);
  EXPECT_TRUE(RateIs(25, 1));

  task.ResetTask();
  Open(clip);
  LogLines log;
  task.SetTarget("vcd", "", "film");
  EXPECT_TRUE(RateIs(24000, 1001));
  EXPECT_EQ(o.FrameHeight, 240);
  EXPECT_EQ(log.Count("Assuming NTSC for target."), 1);  // film is reported as NTSC

  // Through the output record: TargetDefaultNorm 1 is PAL.
  task.ResetTask();
  Open(clip);
  TOutputOptions record;
  record.Target = 2;
  record.TargetDefaultNorm = 1;
  task.ApplyOutputOptions(record);
  EXPECT_EQ(o.FileFormat, "svcd");
  EXPECT_EQ(o.FrameHeight, 576);
}

TEST_F(TargetTest, SvcdDvdAndDvValues) {
  Open(Clip("target_mono.avi", {25, 1}, 1));
  ASSERT_EQ(o.AudioChannels, 1);
  task.ParseOption("target", "ntsc-svcd");
  EXPECT_EQ(o.VideoCodecName.value_or(""), "mpeg2video");
  EXPECT_EQ(o.FileFormat, "svcd");
  EXPECT_EQ(o.FrameWidth, 480);
  EXPECT_EQ(o.FrameHeight, 480);
  EXPECT_EQ(CodecInt(AVMEDIA_TYPE_VIDEO, "b"), 2040000);
  EXPECT_EQ(CodecInt(AVMEDIA_TYPE_VIDEO, "maxrate"), 2516000);
  EXPECT_EQ(CodecInt(AVMEDIA_TYPE_VIDEO, "bufsize"), 1835008);
  EXPECT_EQ(Private(task.OptionContext()->EncoderPrivate[AVMEDIA_TYPE_VIDEO], "scan_offset"), "1");
  EXPECT_EQ(FormatInt("packetsize"), 2324);
  EXPECT_EQ(o.AudioChannels, 2);  // mono becomes stereo
  EXPECT_EQ(o.AudioSampleRate, 44100);

  task.ParseOption("target", "pal-dvd");
  EXPECT_EQ(o.AudioCodecName.value_or(""), "ac3");
  EXPECT_EQ(o.FrameWidth, 720);
  EXPECT_EQ(CodecInt(AVMEDIA_TYPE_VIDEO, "b"), 6000000);
  EXPECT_EQ(CodecInt(AVMEDIA_TYPE_VIDEO, "maxrate"), 9000000);
  EXPECT_EQ(CodecInt(AVMEDIA_TYPE_AUDIO, "b"), 448000);
  EXPECT_EQ(FormatInt("packetsize"), 2048);
  EXPECT_EQ(Private(task.OptionContext()->MuxerPrivate, "muxrate"), "10080000");
  EXPECT_EQ(o.AudioSampleRate, 48000);

  task.ParseOption("target", "pal-dv");
  EXPECT_EQ(o.FileFormat, "dv");
  EXPECT_EQ(o.FrameHeight, 576);
  EXPECT_EQ(o.FramePixFmt, AV_PIX_FMT_YUV420P);
  task.ParseOption("target", "ntsc-dv");
  EXPECT_EQ(o.FrameHeight, 480);
  EXPECT_EQ(o.FramePixFmt, AV_PIX_FMT_YUV411P);
  EXPECT_TRUE(RateIs(30000, 1001));
  task.ParseOption("target", "ntsc-dv50");
  EXPECT_EQ(o.FramePixFmt, AV_PIX_FMT_YUV422P);
  EXPECT_EQ(o.AudioSampleRate, 48000);
  EXPECT_EQ(o.AudioChannels, 2);
}

TEST_F(TargetTest, AspectIsAssumedOnlyWhenUnknown) {
  LogLines log;
  task.ParseOption("target", "pal-vcd");  // no input: the aspect is unknown
  EXPECT_EQ(log.Count("Assuming 4:3 for aspect ratio"), 1);
  EXPECT_FLOAT_EQ(o.FrameAspectRatio, 4.0f / 3.0f);
  task.ResetTask();
  task.ParseOption("target", "ntsc-dvd");
  EXPECT_EQ(log.Count("Assuming 16:9 for aspect ratio"), 1);
  EXPECT_FLOAT_EQ(o.FrameAspectRatio, 16.0f / 9.0f);
  task.ParseOption("target", "ntsc-svcd");  // the dvd's 16:9 stays
  EXPECT_EQ(log.Count("Assuming 4:3 for aspect ratio"), 1);
  EXPECT_FLOAT_EQ(o.FrameAspectRatio, 16.0f / 9.0f);
}

TEST_F(TargetTest, FailuresNameTheProblem) {
  EXPECT_EQ(Failure("target", "vcd"), "frame_rate is invalid.");  // automatic, and no input yet
  EXPECT_EQ(Failure("target", "pal-bluray"), "Unknown target type");
  EXPECT_EQ(Failure("target", "cd"), "Unknown target type");
}

// ---- conversions ----

namespace {

struct TargetCase {
  const char* target;
  const char* videoCodec;
  const char* audioCodec;
  int width, height;
  AVRational rate;
  int sampleRate;
  const char* extension;
};

class TargetConversion : public ::testing::TestWithParam<TargetCase> {};

}  // namespace

TEST_P(TargetConversion, ProducesWhatTheTargetPrescribes) {
  testsupport::LoadConverterLibraries();
  const TargetCase& c = GetParam();
  const std::string input = Clip("target_source.avi", {25, 1});
  ASSERT_FALSE(input.empty());
  const std::string output = testsupport::TempPath(std::string("target_") + c.target + c.extension);

  TTranscoder engine;
  std::string error;
  bool finished = false;
  engine.SetOnTerminate([&](TCustomTranscoder*, const TTerminateInfo& info) {
    if (info.TaskIndex < 0) return;
    finished = info.Finished;
    error = info.ExceptionMsg;
  });
  ASSERT_EQ(engine.AddTask(platform::Widen(input)), 0) << engine.LastErrMsg();
  TOutputOptions options;
  options.ExtraOptions = std::string("target=") + c.target;
  ASSERT_TRUE(engine.SetOutputFile(0, platform::Widen(output), &options)) << engine.LastErrMsg();
  engine.StartTask(0);
  ASSERT_TRUE(finished) << error;

  const testsupport::MediaSummary s = testsupport::ReadMedia(output);
  ASSERT_TRUE(s.ok) << s.error;
  EXPECT_EQ(s.format, "mpeg");
  const testsupport::StreamSummary* v = s.first(AVMEDIA_TYPE_VIDEO);
  const testsupport::StreamSummary* a = s.first(AVMEDIA_TYPE_AUDIO);
  ASSERT_NE(v, nullptr);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(v->codec, c.videoCodec);
  EXPECT_EQ(v->width, c.width);
  EXPECT_EQ(v->height, c.height);
  EXPECT_NEAR(av_q2d(v->avgFrameRate), av_q2d(c.rate), 0.01);
  EXPECT_GT(v->packets, 20);
  EXPECT_EQ(a->codec, c.audioCodec);
  EXPECT_EQ(a->sampleRate, c.sampleRate);
  EXPECT_EQ(a->channels, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, TargetConversion,
    ::testing::Values(TargetCase{"pal-vcd", "mpeg1video", "mp2", 352, 288, {25, 1}, 44100, ".mpg"},
                      TargetCase{"ntsc-svcd", "mpeg2video", "mp2", 480, 480, {30000, 1001}, 44100, ".mpg"},
                      TargetCase{"pal-dvd", "mpeg2video", "ac3", 720, 576, {25, 1}, 48000, ".vob"}),
    [](const ::testing::TestParamInfo<TargetCase>& info) {
      std::string name = info.param.target;
      for (char& ch : name)
        if (ch == '-') ch = '_';
      return name;
    });
