// Presets: the built-in libx264 table, the codec-name fallback, preset
// files and their error texts, and every built-in entry opening and
// running the H.264 encoder.
#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "engine/builtin_presets.h"
#include "engine/custom_ffmpeg.h"
#include "engine/transcoder.h"
#include "media/ffmpeg_logger.h"
#include "media/library_tables.h"
#include "platform/code_page.h"
#include "support/media_libraries.h"
#include "support/temp_dir.h"
#include "support/test_media.h"
#include "context_fixture.h"

namespace {

class PresetTest : public enginetest::ContextTest {
 protected:
  int64_t VideoInt(const char* name) {
    int64_t v = 0;
    EXPECT_GE(lib::av_opt_get_int(task.OptionContext()->Codec[AVMEDIA_TYPE_VIDEO], name, 0, &v), 0) << name;
    return v;
  }
  std::string VideoPrivate(const char* name) {
    const AVDictionaryEntry* e = lib::av_dict_get(task.OptionContext()->EncoderPrivate[AVMEDIA_TYPE_VIDEO], name,
                                                  nullptr, 0);
    return e ? e->value : "";
  }
  std::string WriteFile(const std::string& name, const std::string& text) {
    const std::string path = testsupport::TempPath(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  TOptionState& o = task.Options();
};

// What an H.264 encoder opened with the task's options made of a few
// pictures: the profile from the stream header, or an error text.
struct EncodeResult {
  std::string error;
  int profile = -1;  // profile_idc of the sequence header
  int packets = 0;
};

EncodeResult EncodeWithTaskOptions(TCustomFFmpeg& task) {
  EncodeResult result;
  const AVCodec* codec = lib::avcodec_find_encoder_by_name("libx264");
  AVCodecContext* enc = lib::avcodec_alloc_context3(codec);
  enc->width = 64;
  enc->height = 48;
  enc->pix_fmt = AV_PIX_FMT_YUV420P;
  enc->time_base = {1, 25};
  enc->framerate = {25, 1};
  task.CopyRecordedOptions(enc, task.OptionContext()->Codec[AVMEDIA_TYPE_VIDEO],
                           AV_OPT_FLAG_VIDEO_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
  enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;  // after the copy, which sets "flags" as a whole
  AVDictionary* options = nullptr;
  lib::av_dict_copy(&options, task.OptionContext()->EncoderPrivate[AVMEDIA_TYPE_VIDEO], 0);
  int ret = lib::avcodec_open2(enc, codec, &options);
  lib::av_dict_free(&options);
  if (ret < 0) {
    result.error = "open: " + std::to_string(ret);
    lib::avcodec_free_context(&enc);
    return result;
  }
  // SPS: start code, NAL header 0x67, then profile_idc.
  for (int i = 0; i + 4 < enc->extradata_size; ++i)
    if (enc->extradata[i] == 0 && enc->extradata[i + 1] == 0 && enc->extradata[i + 2] == 1 &&
        (enc->extradata[i + 3] & 0x1f) == 7) {
      result.profile = enc->extradata[i + 4];
      break;
    }
  AVFrame* frame = lib::av_frame_alloc();
  frame->width = enc->width;
  frame->height = enc->height;
  frame->format = enc->pix_fmt;
  lib::av_frame_get_buffer(frame, 0);
  AVPacket* pkt = lib::av_packet_alloc();
  for (int n = 0; n <= 8 && result.error.empty(); ++n) {
    if (n < 8) {
      lib::av_frame_make_writable(frame);
      for (int p = 0; p < 3; ++p)
        for (int y = 0; y < (p ? enc->height / 2 : enc->height); ++y)
          for (int x = 0; x < (p ? enc->width / 2 : enc->width); ++x)
            frame->data[p][y * frame->linesize[p] + x] = uint8_t(x * 3 + y * 2 + n * 7 + p * 50);
      frame->pts = n;
    }
    ret = lib::avcodec_send_frame(enc, n < 8 ? frame : nullptr);
    if (ret < 0) result.error = "send: " + std::to_string(ret);
    while (ret >= 0) {
      ret = lib::avcodec_receive_packet(enc, pkt);
      if (ret >= 0) {
        ++result.packets;
        lib::av_packet_unref(pkt);
      } else if (ret != AVERROR(EAGAIN) && ret != AVERROR_EOF) {
        result.error = "receive: " + std::to_string(ret);
      }
    }
  }
  lib::av_packet_free(&pkt);
  lib::av_frame_free(&frame);
  lib::avcodec_free_context(&enc);
  return result;
}

}  // namespace

TEST(BuiltinPresets, TableHoldsTheThirtySixLibx264EntriesFoundInAnyCase) {
  const std::set<std::string> expected = {
      "libx264-baseline",          "libx264-default",          "libx264-fast",
      "libx264-fast_firstpass",    "libx264-faster",           "libx264-faster_firstpass",
      "libx264-fastfirstpass",     "libx264-hq",               "libx264-ipod320",
      "libx264-ipod640",           "libx264-lossless_fast",    "libx264-lossless_max",
      "libx264-lossless_medium",   "libx264-lossless_slow",    "libx264-lossless_slower",
      "libx264-lossless_ultrafast", "libx264-main",            "libx264-max",
      "libx264-medium",            "libx264-medium_firstpass", "libx264-normal",
      "libx264-placebo",           "libx264-placebo_firstpass", "libx264-slow",
      "libx264-slow_firstpass",    "libx264-slower",           "libx264-slower_firstpass",
      "libx264-slowfirstpass",     "libx264-superfast",        "libx264-superfast_firstpass",
      "libx264-ultrafast",         "libx264-ultrafast_firstpass", "libx264-veryfast",
      "libx264-veryfast_firstpass", "libx264-veryslow",        "libx264-veryslow_firstpass"};
  std::set<std::string> names;
  for (const engine::TBuiltinPreset& p : engine::BuiltinPresets()) {
    names.insert(p.Name);
    EXPECT_EQ(p.Text.find('\r'), std::string::npos) << p.Name;
    EXPECT_FALSE(p.Text.empty()) << p.Name;
  }
  EXPECT_EQ(engine::BuiltinPresets().size(), 36u);
  EXPECT_EQ(names, expected);
  ASSERT_NE(engine::FindBuiltinPreset("LIBX264-HQ"), nullptr);
  EXPECT_EQ(engine::FindBuiltinPreset("LIBX264-HQ")->Name, "libx264-hq");
  EXPECT_EQ(engine::FindBuiltinPreset("libx264-nosuch"), nullptr);
}

TEST_F(PresetTest, EveryBuiltinEntryOpensAndRunsTheH264Encoder) {
  if (!testsupport::EncoderAvailable("libx264")) GTEST_SKIP() << "no libx264 in this build";
  for (const engine::TBuiltinPreset& p : engine::BuiltinPresets()) {
    task.ResetTask();
    task.ParseOption("vcodec", "libx264");
    ASSERT_EQ(Failure("vpre", p.Name), "(no failure)") << p.Name;
    EncodeResult r = EncodeWithTaskOptions(task);
    EXPECT_EQ(r.error, "") << p.Name;
    EXPECT_EQ(r.packets, 8) << p.Name;
  }
}

TEST_F(PresetTest, ProfileEntriesKeepTheirEffectOnTheEncoder) {
  if (!testsupport::EncoderAvailable("libx264")) GTEST_SKIP() << "no libx264 in this build";
  auto profileOf = [&](const std::string& preset) {
    task.ResetTask();
    task.ParseOption("vpre", preset);
    return EncodeWithTaskOptions(task).profile;
  };
  EXPECT_EQ(profileOf("libx264-default"), 100);            // High: CABAC, B-frames, 8x8 transform
  EXPECT_EQ(profileOf("libx264-main"), 77);                // no 8x8 transform
  EXPECT_EQ(profileOf("libx264-baseline"), 66);            // no CABAC, no B-frames
  EXPECT_EQ(profileOf("libx264-ipod640"), 66);
  EXPECT_EQ(profileOf("libx264-lossless_ultrafast"), 244);  // High 4:4:4 Predictive (lossless)
}

TEST_F(PresetTest, CodecNameOfTheKindCompletesAShortName) {
  task.ParseOption("vcodec", "libx264");
  task.ParseOption("vpre", "default");
  EXPECT_EQ(VideoInt("refs"), 3);
  EXPECT_EQ(VideoInt("bf"), 3);
  EXPECT_EQ(VideoPrivate("partitions"), "i8x8,i4x4,p8x8,b8x8");
  task.ParseOption("vpre", "LIBX264-HQ");
  EXPECT_EQ(VideoInt("refs"), 4);
  EXPECT_EQ(VideoPrivate("me_method"), "umh");

  // The kind decides which codec name completes the preset name.
  task.ResetTask();
  task.ParseOption("acodec", "libx264");
  EXPECT_EQ(Failure("vpre", "hq"), "Preset \"hq\" not found");
  EXPECT_EQ(Failure("apre", "hq"), "(no failure)");
  task.ResetTask();
  task.ParseOption("scodec", "libx264");
  EXPECT_EQ(Failure("vpre", "hq"), "(no failure)");  // any kind falls back to the subtitle codec

  // fpre never looks at the table; an empty name does nothing.
  EXPECT_EQ(Failure("fpre", "libx264-hq"), "Preset \"libx264-hq\" not found");
  EXPECT_EQ(Failure("vpre", ""), "(no failure)");
}

TEST_F(PresetTest, PresetFileSetsCodecsAndOptionsWhateverItsLineBreaks) {
  const std::string path =
      WriteFile("good.ffpreset", "\n  VCODEC = mpeg4 \r\nacodec=mp2\r  g = 30\n\n\nb=900000\n");
  task.ParseOption("fpre", path);
  EXPECT_EQ(o.VideoCodecName.value_or(""), "mpeg4");
  EXPECT_EQ(o.AudioCodecName.value_or(""), "mp2");
  EXPECT_EQ(VideoInt("g"), 30);
  EXPECT_EQ(VideoInt("b"), 900000);
  // A file name given to vpre is a file too once the table has no entry.
  task.ResetTask();
  task.ParseOption("vpre", path);
  EXPECT_EQ(VideoInt("g"), 30);
}

TEST_F(PresetTest, BadPresetLinesFailNamingTheFileAndTheLine) {
  const std::string comment = WriteFile("comment.ffpreset", "g=40\n# comment\nbf=2\n");
  EXPECT_EQ(Failure("fpre", comment), comment + ": Invalid syntax: \"# comment\"");
  EXPECT_EQ(VideoInt("g"), 40);  // lines before the failing one stay applied
  EXPECT_NE(VideoInt("bf"), 2);

  const std::string noValue = WriteFile("novalue.ffpreset", "g=\n");
  EXPECT_EQ(Failure("fpre", noValue), noValue + ": Invalid syntax: \"g=\"");
  const std::string noKey = WriteFile("nokey.ffpreset", " = 5\n");
  EXPECT_EQ(Failure("fpre", noKey), noKey + ": Invalid syntax: \"= 5\"");

  const std::string unknown = WriteFile("unknown.ffpreset", "foo = 1\n");
  EXPECT_EQ(Failure("fpre", unknown),
            unknown + ": Invalid option or argument: \"foo = 1\", parsed as \"foo\" = \"1\"");
  const std::string badValue = WriteFile("badvalue.ffpreset", "g=many\n");
  EXPECT_EQ(Failure("fpre", badValue),
            badValue + ": Invalid option or argument: \"g=many\", parsed as \"g\" = \"many\"");

  EXPECT_EQ(Failure("apre", "/nonexistent/x.ffpreset"), "Preset \"/nonexistent/x.ffpreset\" not found");
  EXPECT_EQ(Failure("spre", testsupport::TempDir()), "Preset \"" + testsupport::TempDir() + "\" not found");
}

// Every built-in entry through a whole conversion into an MP4 file.
TEST(PresetConversion, EveryBuiltinEntryConvertsAClip) {
  testsupport::LoadConverterLibraries();
  if (!testsupport::EncoderAvailable("libx264")) GTEST_SKIP() << "no libx264 in this build";
  testsupport::MediaSpec spec;
  spec.container = "avi";
  spec.videoCodec = "mpeg4";
  spec.width = 96;
  spec.height = 64;
  spec.seconds = 0.4;
  const std::string input = testsupport::CachedMedia("preset_source.avi", spec);
  ASSERT_FALSE(input.empty());
  std::vector<std::string> logged;
  DefaultLogger().SetOnLog([&](const void*, uint32_t, TLogLevel level, const std::string& text) {
    if (level <= llWarning) logged.push_back(text);
  });
  for (const engine::TBuiltinPreset& p : engine::BuiltinPresets()) {
    logged.clear();
    const std::string output = testsupport::TempPath(p.Name + ".mp4");
    TTranscoder engine;
    std::string error = "(no end reported)";
    engine.SetOnTerminate([&](TCustomTranscoder*, const TTerminateInfo& info) {
      if (info.TaskIndex >= 0) error = info.Finished && !info.Exception ? "" : info.ExceptionMsg;
    });
    ASSERT_EQ(engine.AddTask(platform::Widen(input)), 0) << engine.LastErrMsg();
    TOutputOptions options;
    options.VideoCodec = "libx264";
    options.VideoPreset = p.Name;
    ASSERT_TRUE(engine.SetOutputFile(0, platform::Widen(output), &options)) << p.Name << ": " << engine.LastErrMsg();
    engine.StartTask(0);
    EXPECT_EQ(error, "") << p.Name << ::testing::PrintToString(logged);
    const testsupport::MediaSummary s = testsupport::ReadMedia(output);
    ASSERT_TRUE(s.ok) << p.Name << ": " << s.error;
    ASSERT_NE(s.first(AVMEDIA_TYPE_VIDEO), nullptr) << p.Name;
    EXPECT_EQ(s.first(AVMEDIA_TYPE_VIDEO)->codec, "h264") << p.Name;
    EXPECT_EQ(s.videoFrames(), 10) << p.Name;
  }
  DefaultLogger().SetOnLog(nullptr);
}
