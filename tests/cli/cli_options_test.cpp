#include "cli/cli_options.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using cli::ParseCommandLine;
using cli::TParseResult;
using profiles::olAudioCodec;
using profiles::olFrameSize;
using profiles::olVideoBitrate;
using profiles::olVideoCodec;

TParseResult Parse(std::vector<std::string> args) { return ParseCommandLine(args); }

TEST(CliOptions, DefaultsAndValueForms) {
  TParseResult r = Parse({"a.avi", "b.avi"});
  ASSERT_TRUE(r.Ok) << r.Error;
  EXPECT_EQ(r.Options.Action, cli::caConvert);
  EXPECT_TRUE(r.Options.HasType);
  EXPECT_EQ(r.Options.TypeCode, 500);
  EXPECT_EQ(r.Options.Jobs, 1);
  EXPECT_FALSE(r.Options.Overwrite);
  EXPECT_TRUE(r.Options.OutputDir.empty());
  EXPECT_EQ(r.Options.Files, (std::vector<std::string>{"a.avi", "b.avi"}));

  // Separate, attached and "=" values; "--" ends the options.
  EXPECT_FALSE(r.Options.OneThread);
  r = Parse({"-t507", "--jobs=3", "-o", "out dir", "--overwrite", "--one-thread", "--", "-odd.avi"});
  ASSERT_TRUE(r.Ok) << r.Error;
  EXPECT_TRUE(r.Options.OneThread);
  EXPECT_EQ(r.Options.TypeCode, 507);
  EXPECT_EQ(r.Options.Jobs, 3);
  EXPECT_EQ(r.Options.OutputDir, "out dir");
  EXPECT_TRUE(r.Options.Overwrite);
  EXPECT_EQ(r.Options.Files, (std::vector<std::string>{"-odd.avi"}));
}

TEST(CliOptions, CaptionsArePickedExactlyAsTheDialogShowsThem) {
  TParseResult r = Parse({"-t", "507", "--size", "480*272  (PSP 3.03或更高固件版本适用)", "--audio-codec",
                          "AAC音频编码器", "--hflip", "--negate", "x.avi"});
  ASSERT_TRUE(r.Ok) << r.Error;
  EXPECT_EQ(*r.Options.Picks[olFrameSize], "480*272  (PSP 3.03或更高固件版本适用)");
  EXPECT_TRUE(r.Options.HorizontalFlip);
  EXPECT_FALSE(r.Options.VerticalFlip);
  EXPECT_TRUE(r.Options.Negative);

  // One blank instead of two is another caption: refused, with the list.
  r = Parse({"-t", "507", "--size", "480*272 (PSP 3.03或更高固件版本适用)", "x.avi"});
  EXPECT_FALSE(r.Ok);
  EXPECT_NE(r.Error.find("--size: '480*272 (PSP 3.03或更高固件版本适用)' is not a choice of type 507"),
            std::string::npos)
      << r.Error;
  EXPECT_NE(r.Error.find("\n  320*240 (PSP所有固件版本适用)\n"), std::string::npos) << r.Error;

  // A list repeating an item names it once among the valid captions.
  r = Parse({"-t", "517", "--sample-rate", "8000", "x.avi"});
  ASSERT_FALSE(r.Ok);
  EXPECT_EQ(r.Error.find("44100\n  44100"), std::string::npos) << r.Error;
}

TEST(CliOptions, CodecChoiceReplacesTheListOtherPicksAreLookedUpIn) {
  // Type 1 offers the Mjpeg bit rates only once Mjpeg is the codec.
  TParseResult r = Parse({"-t", "1", "--video-bitrate", "9000 kbps(极高质量)", "x.avi"});
  EXPECT_FALSE(r.Ok);
  r = Parse(
      {"-t", "1", "--video-bitrate", "9000 kbps(极高质量)", "--video-codec", "Mjpeg 视频压缩器", "x.avi"});
  EXPECT_TRUE(r.Ok) << r.Error;
  // Type 100 with the Divx codec offers "740*567".
  r = Parse({"-t", "100", "--video-codec", "Divx 视频压缩器", "--size", "740*567", "x.avi"});
  EXPECT_TRUE(r.Ok) << r.Error;
}

TEST(CliOptions, AudioOnlyTypesRefuseVideoChoices) {
  EXPECT_TRUE(Parse({"-t", "209", "--audio-bitrate", "12.2", "x.wav"}).Ok);
  TParseResult r = Parse({"-t", "209", "--size", "无", "x.wav"});
  EXPECT_FALSE(r.Ok);
  EXPECT_NE(r.Error.find("audio-only"), std::string::npos) << r.Error;
  EXPECT_FALSE(Parse({"-t", "524", "--vflip", "x.wav"}).Ok);
}

TEST(CliOptions, TypeNoneNeedsAnExtensionAndTakesOnlyOptionText) {
  TParseResult r =
      Parse({"-t", "none", "--ext", ".mkv", "--options", "vcodec=copy<CRLF>acodec=copy", "a.avi"});
  ASSERT_TRUE(r.Ok) << r.Error;
  EXPECT_FALSE(r.Options.HasType);
  EXPECT_EQ(r.Options.Extension, "mkv");
  EXPECT_EQ(r.Options.ExtraOptions, "vcodec=copy<CRLF>acodec=copy");

  EXPECT_FALSE(Parse({"-t", "none", "a.avi"}).Ok);
  EXPECT_FALSE(Parse({"--ext", "mkv", "a.avi"}).Ok);
  EXPECT_FALSE(Parse({"-t", "none", "--ext", "mkv", "--audio-codec", "MP3音频编码器", "a.avi"}).Ok);
  EXPECT_FALSE(Parse({"-t", "none", "--ext", "mkv", "--hflip", "a.avi"}).Ok);
  EXPECT_FALSE(Parse({"-t", "none", "--ext", "a/b", "a.avi"}).Ok);
}

TEST(CliOptions, WrongUsageIsRefused) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {},                                                // no input
           {"-t", "499", "a.avi"},                            // "nothing selected" is no type
           {"-t", "527", "a.avi"},                            // past the last row
           {"-t", "abc", "a.avi"},                            //
           {"-j", "0", "a.avi"},                              //
           {"-j", "2x", "a.avi"},                             //
           {"--bogus", "a.avi"},                              //
           {"a.avi", "-t"},                                   // value missing
           {"--overwrite=yes", "a.avi"},                      // flag with a value
           {"--list-types", "a.avi"},                         // action with files
           {"--list-types", "--info", "a.avi"},               // two actions
           {"--list-options", "500", "-t", "501"},            // conversion option with an action
           {"--cut", "00:00:01-00:00:02", "a.avi", "b.avi"},  // cut for one file only
       }) {
    const TParseResult r = ParseCommandLine(args);
    EXPECT_FALSE(r.Ok) << ::testing::PrintToString(args);
    EXPECT_FALSE(r.Error.empty());
  }
  // Help wins over everything else that parses.
  EXPECT_EQ(Parse({"--list-types", "-h", "a.avi"}).Options.Action, cli::caHelp);
  EXPECT_EQ(Parse({"--info", "a.avi"}).Options.InfoFile, "a.avi");
  EXPECT_EQ(Parse({"--list-options", "209"}).Options.ListCode, 209);
}

TEST(CliOptions, CutRangeForms) {
  profiles::TCutTimes times;
  std::string error;
  ASSERT_TRUE(cli::ParseCutRange("00:00:10-00:00:40", times, error)) << error;
  EXPECT_EQ(times, (profiles::TCutTimes{"00", "00", "10", "00", "00", "40"}));
  // Empty fields stay empty (the dialog reads them as "00").
  ASSERT_TRUE(cli::ParseCutRange("::5-1::", times, error)) << error;
  EXPECT_EQ(times, (profiles::TCutTimes{"", "", "5", "1", "", ""}));

  EXPECT_FALSE(cli::ParseCutRange("00:00:10", times, error));
  EXPECT_FALSE(cli::ParseCutRange("00:10-00:40", times, error));
  EXPECT_FALSE(cli::ParseCutRange("00:00:10-00:00:40:00", times, error));
  EXPECT_FALSE(cli::ParseCutRange("00:00:1a-00:00:40", times, error));
  EXPECT_NE(error.find("对不起，这里只能输入数字！"), std::string::npos) << error;
  EXPECT_FALSE(cli::ParseCutRange("00:00:-1-00:00:40", times, error));
}

}  // namespace
