// The option vocabulary of a task: the rows and rules of ParseOption,
// option texts and the libraries' generic and private options.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/custom_ffmpeg.h"
#include "media/ffmpeg_logger.h"
#include "media/library_tables.h"
#include "support/media_libraries.h"
#include "context_fixture.h"

namespace {

class OptionsTest : public enginetest::ContextTest {
 protected:
  int64_t CodecInt(AVMediaType type, const char* name) {
    int64_t v = 0;
    EXPECT_GE(lib::av_opt_get_int(task.OptionContext()->Codec[type], name, 0, &v), 0) << name;
    return v;
  }
  TOptionState& o = task.Options();
};

TEST_F(OptionsTest, FlagsAreTrueUnlessExactlyZero) {
  task.ParseOptionText("an", true);
  EXPECT_TRUE(o.AudioDisable);
  task.ParseOption("an", "0");
  EXPECT_FALSE(o.AudioDisable);
  task.ParseOption("an", "false");
  EXPECT_TRUE(o.AudioDisable);
  task.ParseOption("copyts", "0");
  task.ParseOption("xerror", "0");
  EXPECT_TRUE(o.CopyTs);
  EXPECT_TRUE(o.ExitOnError);
}

TEST_F(OptionsTest, ThreadsTakeACountForTheStreamsThatFollow) {
  EXPECT_EQ(o.Threads, 0);
  task.ParseOption("threads", "2");
  EXPECT_EQ(o.Threads, 2);
  task.ParseOption("threads", "0");
  EXPECT_EQ(o.Threads, 0);
  EXPECT_EQ(Failure("threads", "many"), "'many' is not a valid integer value");
  EXPECT_EQ(Failure("threads", "-1"), "Invalid thread count \"-1\"");
}

TEST_F(OptionsTest, RefusedOptionsAndBadNumbers) {
  EXPECT_EQ(Failure("padtop", "8"), "Please use vfilters=pad");
  EXPECT_EQ(Failure("qscale", "0"), "qscale must be > 0.0 and <= 255");
  EXPECT_EQ(Failure("pass", "3"), "pass number can be only 1 or 2");
  EXPECT_EQ(Failure("vframes", "10x"), "'10x' is not a valid integer value");
  EXPECT_EQ(Failure("adrift_threshold", "x"), "'x' is not a valid floating point value");
  EXPECT_EQ(Failure("t", "abc"), "Invalid duration specification for t: abc");
  EXPECT_EQ(Failure("timestamp", "yesterday"), "Invalid date specification for timestamp: yesterday");
  EXPECT_EQ(Failure("itsscale", "20:2"), "stream index over MAX_STREAMS(20)");
  EXPECT_EQ(Failure("pix_fmt", "nosuch"), "Unknown pixel format requested: nosuch");
  EXPECT_EQ(Failure("r", "abc"), "Incorrect frame rate");
  // A log level that is no name is read as a number.
  EXPECT_EQ(Failure("loglevel", "abc"), "'abc' is not a valid integer value");
  EXPECT_EQ(Failure("vhook", "/nonexistent/hook.so"), "Failed to add video hook function: /nonexistent/hook.so");
  EXPECT_EQ(Failure("newvideo", ""), "At least one output file must be specified");
  EXPECT_EQ(Failure("streamid", "1:"),
            "Invalid value \"1:\" for option \"streamid\", required syntax is \"index:value\"");
  EXPECT_NE(Failure("streamid", "20:1"), "(no failure)");
}

TEST_F(OptionsTest, TimesAndTotalDuration) {
  task.ParseOption("t", "10");
  EXPECT_EQ(o.RecordingTime, 10000000);
  EXPECT_EQ(task.TotalDuration, 10000000);
  task.ParseOption("ss", "00:01:02.5");
  EXPECT_EQ(o.StartTime, 62500000);
  task.ParseOption("timestamp", "1970-01-02 00:00:00Z");
  EXPECT_EQ(o.RecordingTimestamp, 86400);
  task.ParseOption("itsscale", "3:1.5");
  EXPECT_DOUBLE_EQ(o.InputTsScale[0][3], 1.5);
}

TEST_F(OptionsTest, CodecRuleKeepsCopyFlagAndEmptyChangesNothing) {
  task.ParseOption("vcodec", "copy");
  EXPECT_TRUE(o.VideoStreamCopy);
  EXPECT_FALSE(o.VideoCodecName.has_value());
  task.ParseOption("vcodec", "mpeg4");
  EXPECT_TRUE(o.VideoStreamCopy);
  EXPECT_EQ(o.VideoCodecName.value_or(""), "mpeg4");
  task.ParseOption("vcodec", "");
  EXPECT_EQ(o.VideoCodecName.value_or(""), "mpeg4");
}

TEST_F(OptionsTest, NamesAreLowerCasedInTextsButNotInParseOption) {
  task.ParseOption("VCODEC", "x");
  EXPECT_FALSE(o.VideoCodecName.has_value());
  task.ParseOptionText("VCODEC=x", true);
  EXPECT_EQ(o.VideoCodecName.value_or(""), "x");
  // Codec and size lines only when asked for.
  task.ParseOptionText("acodec=mp2<CRLF>s=640x480", false);
  EXPECT_FALSE(o.AudioCodecName.has_value());
  EXPECT_EQ(o.FrameWidth, 0);
}

TEST_F(OptionsTest, OptionTextLineBreaksAndFailureStopsTheText) {
  task.ParseOptionText("  ar=22050\r\nac=1\rvol=512<CRLF>aframes=7\n", true);
  EXPECT_EQ(o.AudioSampleRate, 22050);
  EXPECT_EQ(o.AudioChannels, 1);
  EXPECT_EQ(o.AudioVolume, 512);
  EXPECT_EQ(o.MaxFrames[AVMEDIA_TYPE_AUDIO], 7);
  EXPECT_THROW(task.ParseOptionText("vframes=5\npadtop=8\nvframes=9", true), FFmpegException);
  EXPECT_EQ(o.MaxFrames[AVMEDIA_TYPE_VIDEO], 5);
  // Unknown options and empty lines are ignored silently.
  EXPECT_NO_THROW(task.ParseOptionText("foo=1\n\n=3", true));
}

TEST_F(OptionsTest, FrameSizeKeepsTheOldGrammar) {
  task.ParseOption("s", "320*240 (PSP所有固件版本适用)");
  EXPECT_EQ(o.FrameWidth, 320);
  EXPECT_EQ(o.FrameHeight, 240);
  task.ParseOption("s", "vga");
  EXPECT_EQ(o.FrameWidth, 640);
  EXPECT_EQ(o.FrameHeight, 480);
  task.ParseOption("s", "176x144");
  EXPECT_EQ(o.FrameWidth, 176);
  task.ParseOption("s", "");
  EXPECT_EQ(o.FrameWidth, 176);
  EXPECT_EQ(Failure("s", "big"), "Incorrect frame size");
  EXPECT_EQ(Failure("s", "320"), "Incorrect frame size");
}

TEST_F(OptionsTest, CropNeedsAFrameSizeAndReducesIt) {
  EXPECT_EQ(Failure("croptop", "10"),
            "Vertical crop dimensions are outside the range of the original image.\n"
            "Remember to crop first and scale second.");
  EXPECT_NO_THROW(task.ParseOption("croptop", "-5"));
  task.ParseOption("s", "640x480");
  std::vector<std::pair<TLogLevel, std::string>> lines;
  DefaultLogger().SetOnLog([&](const void*, uint32_t, TLogLevel level, const std::string& text) {
    lines.emplace_back(level, text);
  });
  task.ParseOption("croptop", "10");
  task.ParseOption("cropleft", "20");
  DefaultLogger().SetOnLog(nullptr);
  // One deprecation line per crop option, the same for each side.
  const std::pair<TLogLevel, std::string> deprecated = {llWarning,
                                                        "CropXXX is deprecated in favor of the crop avfilter"};
  EXPECT_EQ(lines, (std::vector<std::pair<TLogLevel, std::string>>{deprecated, deprecated}));
  EXPECT_EQ(o.FrameHeight, 470);
  EXPECT_EQ(o.FrameWidth, 620);
  EXPECT_EQ(o.FrameTopBand, 10);
  EXPECT_EQ(Failure("cropright", "620"),
            "Horizontal crop dimensions are outside the range of the original image.\n"
            "Remember to crop first and scale second.");
}

TEST_F(OptionsTest, StreamMapsParseBasesAndSyncStreams) {
  task.ParseOption("map", "0.1");
  task.ParseOption("map", "0:1:1:0");
  task.ParseOption("map", "0x1.010");
  ASSERT_EQ(o.StreamMaps.size(), 3u);
  const TStreamMap& a = o.StreamMaps[0];
  EXPECT_EQ((std::vector<int>{a.File, a.Stream, a.SyncFile, a.SyncStream}), (std::vector<int>{0, 1, 0, 1}));
  const TStreamMap& b = o.StreamMaps[1];
  EXPECT_EQ((std::vector<int>{b.File, b.Stream, b.SyncFile, b.SyncStream}), (std::vector<int>{0, 1, 1, 0}));
  EXPECT_EQ(o.StreamMaps[2].File, 1);
  EXPECT_EQ(o.StreamMaps[2].Stream, 8);  // octal
  // The table is bounded by the task's capacity.
  for (int i = 3; i < 400; ++i) task.ParseOption("map", "0.0");
  EXPECT_NE(Failure("map", "0.0"), "(no failure)");
  task.ParseOption("map_meta_data", "1:0");
  EXPECT_EQ(o.MetaDataMaps.at(0).OutFile, 1);
  EXPECT_EQ(o.MetaDataMaps.at(0).InFile, 0);
}

TEST_F(OptionsTest, MetadataSplitsAtTheFirstEquals) {
  EXPECT_EQ(Failure("metadata", "title"), "Missing =");
  task.ParseOption("metadata", "a=b=c");
  ASSERT_EQ(o.Metadata.size(), 1u);
  EXPECT_EQ(o.Metadata[0].first, "a");
  EXPECT_EQ(o.Metadata[0].second, "b=c");
}

TEST_F(OptionsTest, MatrixNeedsSixtyFourCoefficients) {
  std::string values;
  for (int i = 1; i <= 64; ++i) values += std::to_string(i) + (i < 64 ? "," : ",99,100");
  task.ParseOption("intra_matrix", values);
  ASSERT_TRUE(o.IntraMatrix.has_value());
  EXPECT_EQ((*o.IntraMatrix)[0], 1);
  EXPECT_EQ((*o.IntraMatrix)[63], 64);
  std::string short63 = values.substr(0, values.find(",64"));
  EXPECT_EQ(Failure("inter_matrix", short63), "Syntax error in matrix \"" + short63 + "\" at coeff 62");
}

TEST_F(OptionsTest, AspectAndTagRules) {
  task.ParseOption("aspect", "16:9");
  EXPECT_NEAR(o.FrameAspectRatio, 16.0 / 9.0, 1e-6);
  task.ParseOption("aspect", "1.5");
  EXPECT_FLOAT_EQ(o.FrameAspectRatio, 1.5f);
  EXPECT_EQ(Failure("aspect", "4:0"), "Incorrect aspect ratio specification.");
  EXPECT_EQ(Failure("aspect", "wide"), "Incorrect aspect ratio specification.");
  task.ParseOption("vtag", "XVID");
  EXPECT_EQ(o.VideoCodecTag, MKTAG('X', 'V', 'I', 'D'));
  EXPECT_EQ(Failure("atag", "abc").rfind("audio tag parameter must be 4 chars", 0), 0u);
  EXPECT_EQ(Failure("stag", "abcde").rfind("subtitle tag parameter must be 4 chars", 0), 0u);
}

TEST_F(OptionsTest, BitstreamFiltersChainByKind) {
  task.ParseOption("vbsf", "h264_mp4toannexb");
  task.ParseOption("absf", "aac_adtstoasc=ignored");
  task.ParseOption("vbsf", "=x");
  ASSERT_EQ(o.VideoBsfChain.size(), 1u);
  EXPECT_STREQ(o.VideoBsfChain[0]->name, "h264_mp4toannexb");
  ASSERT_EQ(o.AudioBsfChain.size(), 1u);
  EXPECT_EQ(Failure("sbsf", "nosuch=1"), "Unknown bitstream filter nosuch");
}

TEST_F(OptionsTest, GenericOptionsAreSetRecordedAndCopied) {
  task.ParseOption("b", "400000");
  task.ParseOption("ab", "64000");
  task.ParseOption("g", "12");
  EXPECT_EQ(CodecInt(AVMEDIA_TYPE_VIDEO, "b"), 400000);
  EXPECT_EQ(CodecInt(AVMEDIA_TYPE_AUDIO, "b"), 64000);
  EXPECT_FALSE(task.SetGenericOption("g", "twelve"));
  EXPECT_FALSE(task.SetGenericOption("nosuchoption", "1"));
  EXPECT_FALSE(task.SetGenericOption("g", " "));
  EXPECT_TRUE(task.SetGenericOption("packetsize", "2324"));
  EXPECT_EQ(task.OptionContext()->Format->packet_size, 2324u);

  AVCodecContext* target = lib::avcodec_alloc_context3(nullptr);
  task.CopyRecordedOptions(target, task.OptionContext()->Codec[AVMEDIA_TYPE_VIDEO],
                           AV_OPT_FLAG_VIDEO_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
  EXPECT_EQ(target->bit_rate, 400000);
  EXPECT_EQ(target->gop_size, 12);
  lib::avcodec_free_context(&target);
}

TEST_F(OptionsTest, PrivateOptionsOfEncodersAndMuxersAreKept) {
  if (!lib::avcodec_find_encoder_by_name("libx264")) GTEST_SKIP() << "no libx264 in this build";
  EXPECT_TRUE(task.SetGenericOption("preset", "slow"));
  EXPECT_TRUE(task.SetGenericOption("crf", "23"));
  EXPECT_FALSE(task.SetGenericOption("crf", "not-a-number"));
  AVDictionary* video = task.OptionContext()->EncoderPrivate[AVMEDIA_TYPE_VIDEO];
  ASSERT_NE(lib::av_dict_get(video, "preset", nullptr, 0), nullptr);
  EXPECT_STREQ(lib::av_dict_get(video, "crf", nullptr, 0)->value, "23");
  // A muxer's own option (mp4 "movflags").
  EXPECT_TRUE(task.SetGenericOption("movflags", "faststart"));
  EXPECT_NE(lib::av_dict_get(task.OptionContext()->MuxerPrivate, "movflags", nullptr, 0), nullptr);
}

}  // namespace
