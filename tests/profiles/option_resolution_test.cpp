#include "profiles/option_resolution.h"

#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "profile_test_helpers.h"

using namespace profiles;
using profiletest::Pick;
using profiletest::Prepare;

namespace {

TResolveResult Resolve(profiletest::TPrepared& prepared) {
  return ResolveOptions(prepared.Dialog, "/e/out", prepared.Choice);
}

void SetCut(profiletest::TPrepared& prepared, TCutTimes times) {
  prepared.Dialog.CutEnabled = true;
  prepared.Dialog.CutTimes = times;
}

}  // namespace

TEST(OptionResolution, DefaultsOfType500) {
  auto prepared = Prepare(500);
  ASSERT_EQ(Resolve(prepared).Status, rsOk);
  const TPendingOptions& p = prepared.Choice.Pending;
  EXPECT_EQ(p.AudioChannels, "2");
  EXPECT_EQ(p.AudioSampleRate, "44100");
  EXPECT_EQ(p.AudioBitrate, 128000);
  EXPECT_EQ(p.FrameSize, "");
  EXPECT_EQ(p.FrameRate, "25");
  EXPECT_EQ(p.AspectRatio, "4:3");
  EXPECT_EQ(p.VideoBitrate, 816000);
  EXPECT_EQ(p.VideoCodec, "mpeg4");
  EXPECT_EQ(p.VideoTag, "DX50");
  EXPECT_EQ(p.AudioCodec, "libmp3lame");
  EXPECT_EQ(p.AudioVolume, "256");
  EXPECT_FALSE(p.AudioOnly);
  EXPECT_EQ(p.Target, "");
  EXPECT_EQ(p.CutStart, 0);
  EXPECT_EQ(p.CutDuration, -1);
  EXPECT_EQ(prepared.Choice.CutRangeState, kCutRangeNotSelected);
  EXPECT_EQ(prepared.Choice.OutputFileName, "/e/out/a.mp4");
}

// Every volume caption follows its own wording: "降低X%" × (1 − X/100),
// "增加X%" × (1 + X/100), "增加N倍" × (N + 1), rounded to the nearest step.
TEST(OptionResolution, VolumeCaptionsMatchTheirWording) {
  for (std::string_view caption : FindNamedList("VL1")->Items) {
    const std::string text(caption);
    double factor = 1.0;
    if (text == "无声音")
      factor = 0;
    else if (text.rfind("音量降低", 0) == 0)
      factor = 1 - std::stod(text.substr(12)) / 100;
    else if (text.find("倍") != std::string::npos)
      factor = 1 + std::stod(text.substr(12));
    else if (text.rfind("音量增加", 0) == 0)
      factor = 1 + std::stod(text.substr(12)) / 100;
    auto prepared = Prepare(500);
    ASSERT_TRUE(Pick(prepared, olVolume, text));
    ASSERT_EQ(Resolve(prepared).Status, rsOk);
    EXPECT_EQ(prepared.Choice.Pending.AudioVolume, std::to_string(std::lround(256 * factor))) << text;
  }
  EXPECT_EQ(VolumeForCaption("音量增加1.5倍"), 640);
  EXPECT_EQ(VolumeForCaption("音量增加1倍"), 512);
}

TEST(OptionResolution, BitRatesFromCaptions) {
  for (const char* caption : {"4.75", "5.9", "7.4", "7.95", "12.2"}) {
    auto prepared = Prepare(209);
    ASSERT_TRUE(Pick(prepared, olAudioBitrate, caption));
    ASSERT_EQ(Resolve(prepared).Status, rsOk);
    EXPECT_EQ(prepared.Choice.Pending.AudioBitrate, std::lround(std::stod(caption) * 1000)) << caption;
  }
  auto rm = Prepare(15);
  ASSERT_EQ(Resolve(rm).Status, rsOk);
  EXPECT_EQ(rm.Choice.Pending.AudioBitrate, kBitrateNoChoice);
  EXPECT_EQ(rm.Choice.Pending.AudioSampleRate, "AUTO");
  EXPECT_EQ(rm.Choice.Pending.AudioCodec, "AUTO");

  auto video = Prepare(500);
  ASSERT_TRUE(Pick(video, olVideoBitrate, "192 kbps (超低质量)"));
  ASSERT_EQ(Resolve(video).Status, rsOk);
  EXPECT_EQ(video.Choice.Pending.VideoBitrate, 192000);
}

TEST(OptionResolution, VideoCodecCaptions) {
  auto xvid1 = Prepare(500);
  ASSERT_TRUE(Pick(xvid1, olVideoCodec, "XviD 视频压缩器1"));
  ASSERT_EQ(Resolve(xvid1).Status, rsOk);
  EXPECT_EQ(xvid1.Choice.Pending.VideoCodec, "mpeg4");
  EXPECT_EQ(xvid1.Choice.Pending.VideoTag, "XVID");

  auto xvid2 = Prepare(500);
  ASSERT_TRUE(Pick(xvid2, olVideoCodec, "XviD 视频压缩器2"));
  ASSERT_EQ(Resolve(xvid2).Status, rsOk);
  EXPECT_EQ(xvid2.Choice.Pending.VideoCodec, "libxvid");
  EXPECT_EQ(xvid2.Choice.Pending.VideoTag, "");

  // The caption without a blank has no rule: the codec is left as it was.
  auto plain = Prepare(507);
  plain.Choice.Pending.VideoCodec = "earlier";
  ASSERT_EQ(Resolve(plain).Status, rsOk);
  EXPECT_EQ(plain.Choice.Pending.VideoCodec, "earlier");

  auto asf = Prepare(23);
  ASSERT_EQ(Resolve(asf).Status, rsOk);
  EXPECT_EQ(asf.Choice.Pending.VideoCodec, "msmpeg4");
  EXPECT_EQ(asf.Choice.Pending.FileFormat, "asf");
  EXPECT_EQ(asf.Choice.Pending.AudioCodec, "wmav2");

  auto mov = Prepare(523);
  ASSERT_EQ(Resolve(mov).Status, rsOk);
  EXPECT_EQ(mov.Choice.Pending.FileFormat, "mov");
  EXPECT_EQ(mov.Choice.Pending.VideoCodec, "");
  EXPECT_EQ(mov.Choice.Pending.AudioCodec, "aac");
}

TEST(OptionResolution, AudioCodecsUseTheBoundEncoders) {
  const std::pair<int, const char*> cases[] = {{203, "aac"},  {205, "libvorbis"}, {209, "libopencore_amrnb"},
                                               {207, "flac"}, {201, "wmav2"},     {202, ""}};
  for (const auto& [code, codec] : cases) {
    auto prepared = Prepare(code);
    ASSERT_EQ(Resolve(prepared).Status, rsOk) << code;
    EXPECT_EQ(prepared.Choice.Pending.AudioCodec, codec) << code;
    EXPECT_TRUE(prepared.Choice.Pending.AudioOnly) << code;
    EXPECT_EQ(prepared.Choice.Pending.VideoBitrate, kBitrateNoChoice) << code;
  }
}

TEST(OptionResolution, DiscPresetDropsEarlierChoicesButKeepsAudioCodecAndVolume) {
  auto dvd = Prepare(517);
  ASSERT_TRUE(Pick(dvd, olVideoCodec, "NTSC_DVD视频压缩器"));
  ASSERT_TRUE(Pick(dvd, olAudioCodec, "AC3音频编码器"));
  ASSERT_TRUE(Pick(dvd, olVolume, "音量增加1倍"));
  dvd.Dialog.HorizontalFlip = true;
  ASSERT_EQ(ResolveOptions(dvd.Dialog, "/new/out", dvd.Choice).Status, rsOk);
  const TPendingOptions& p = dvd.Choice.Pending;
  EXPECT_EQ(p.Target, "dvd");
  EXPECT_EQ(p.TargetNorm, "NTSC");
  EXPECT_EQ(p.AudioCodec, "ac3");
  EXPECT_EQ(p.AudioVolume, "512");
  EXPECT_EQ(p.VideoFilters, "hflip");
  EXPECT_EQ(p.AudioChannels, "");
  EXPECT_EQ(p.AudioSampleRate, "");
  EXPECT_EQ(p.FrameSize, "");
  EXPECT_EQ(p.FrameRate, "");
  EXPECT_EQ(p.AspectRatio, "");
  EXPECT_EQ(p.VideoBitrate, kBitrateNoChoice);
  EXPECT_EQ(p.AudioBitrate, kBitrateNoChoice);
  EXPECT_EQ(dvd.Choice.OutputFileName, "/new/out/a_NTSC.mpg");

  auto vcd = Prepare(21);
  ASSERT_EQ(Resolve(vcd).Status, rsOk);
  EXPECT_EQ(vcd.Choice.Pending.Target, "vcd");
  EXPECT_EQ(vcd.Choice.Pending.TargetNorm, "PAL");
  EXPECT_EQ(vcd.Choice.OutputFileName, "/e/out/a_PAL.mpg");
}

TEST(OptionResolution, FiltersJoinInFixedOrder) {
  auto prepared = Prepare(512);
  prepared.Dialog.Negative = true;
  prepared.Dialog.HorizontalFlip = true;
  prepared.Dialog.VerticalFlip = true;
  ASSERT_EQ(Resolve(prepared).Status, rsOk);
  EXPECT_EQ(prepared.Choice.Pending.VideoFilters, "hflip,vflip,negate");
}

TEST(OptionResolution, CutRangeBoundsAndMessages) {
  auto whole = Prepare(512);  // probed duration 120 s
  SetCut(whole, {"00", "00", "00", "00", "02", "00"});
  ASSERT_EQ(Resolve(whole).Status, rsOk);
  EXPECT_EQ(whole.Choice.Pending.CutStart, 0);
  EXPECT_EQ(whole.Choice.Pending.CutDuration, 120000);
  EXPECT_EQ(whole.Choice.CutRangeState, kCutRangeSelected);

  auto part = Prepare(512);
  SetCut(part, {"0", "0", "10", "00", "01", "30"});
  ASSERT_EQ(Resolve(part).Status, rsOk);
  EXPECT_EQ(part.Choice.Pending.CutStart, 10000);
  EXPECT_EQ(part.Choice.Pending.CutDuration, 80000);

  auto beyond = Prepare(512);
  SetCut(beyond, {"00", "00", "00", "00", "02", "01"});
  const TResolveResult tooLong = Resolve(beyond);
  EXPECT_EQ(tooLong.Status, rsCutRangeError);
  EXPECT_EQ(tooLong.Message, "截取时间设置错误，不允许停止时间大于时间长度！");

  auto empty = Prepare(512);
  SetCut(empty, {"", "", "", "", "", ""});
  const TResolveResult backwards = Resolve(empty);
  EXPECT_EQ(backwards.Status, rsCutRangeError);
  EXPECT_EQ(backwards.Message, "截取时间设置错误，不允许起始时间大于等于停止时间！");
  EXPECT_EQ(backwards.CutTimes, (TCutTimes{"00", "00", "00", "00", "00", "00"}));
}

// A refused confirmation must not leave half-resolved values behind: the
// user corrects the dialog and confirms again from the same state.
TEST(OptionResolution, FailedConfirmationChangesNothing) {
  auto prepared = Prepare(512);
  prepared.Dialog.HorizontalFlip = true;
  SetCut(prepared, {"00", "00", "50", "00", "00", "40"});
  const TJobChoice before = prepared.Choice;
  EXPECT_EQ(Resolve(prepared).Status, rsCutRangeError);
  EXPECT_EQ(prepared.Choice.Pending, before.Pending);
  EXPECT_EQ(prepared.Choice.CutRangeState, before.CutRangeState);

  prepared.Dialog.CutTimes[ctStopSeconds] = "59";
  ASSERT_EQ(Resolve(prepared).Status, rsOk);
  EXPECT_EQ(prepared.Choice.Pending.VideoFilters, "hflip");
  EXPECT_EQ(prepared.Choice.Pending.CutDuration, 9000);
}

TEST(OptionResolution, TextsThatAreNoNumbersAreRefused) {
  // No type: every list is empty; the user is sent back to the chooser.
  auto none = Prepare(499);
  const TJobChoice before = none.Choice;
  const TResolveResult result = Resolve(none);
  EXPECT_EQ(result.Status, rsNoType);
  EXPECT_EQ(result.Message, "请选择一个要转换的类型,然后点击“下一步”按钮！");
  EXPECT_EQ(none.Choice.Pending, before.Pending);

  auto noBitrate = Prepare(500);
  noBitrate.Dialog.Captions[olVideoBitrate].clear();
  const TResolveResult bad = Resolve(noBitrate);
  EXPECT_EQ(bad.Status, rsInvalidValue);
  EXPECT_FALSE(bad.Message.empty());
  EXPECT_FALSE(bad.Error.empty());

  auto pasted = Prepare(512);
  SetCut(pasted, {"00", "00", "1a", "00", "01", "00"});
  EXPECT_EQ(Resolve(pasted).Status, rsInvalidValue);

  // Hours that would overflow 32-bit milliseconds are still compared sanely.
  auto huge = Prepare(512);
  SetCut(huge, {"00", "00", "00", "600", "00", "00"});
  EXPECT_EQ(Resolve(huge).Status, rsCutRangeError);

  auto unprobed = Prepare(512);
  unprobed.Dialog.ProbedDuration.clear();
  SetCut(unprobed, {"00", "00", "00", "00", "00", "10"});
  EXPECT_EQ(Resolve(unprobed).Status, rsInvalidValue);
}

TEST(OptionResolution, CutRangePresetAndKeyFilter) {
  const TCutRangePreset preset = CutRangePresetFor(3725'900'000);  // 1 h 2 min 5.9 s
  EXPECT_EQ(preset.ProbedDuration, "3725");
  EXPECT_EQ(preset.CutTimes, (TCutTimes{"00", "00", "00", "01", "02", "05"}));
  EXPECT_EQ(CutRangePresetFor(INT64_MIN).CutTimes, (TCutTimes{"00", "00", "00", "00", "00", "00"}));
  EXPECT_EQ(CutRangePresetFor(200LL * 3600 * 1000000).CutTimes[ctStopHours], "200");

  for (char32_t key : {U'0', U'9', U'\b', U'\r'}) EXPECT_TRUE(IsTimeEditKeyAllowed(key));
  for (char32_t key : {U'a', U'-', U' ', U':', U'\t', U'５'}) EXPECT_FALSE(IsTimeEditKeyAllowed(key));
  EXPECT_EQ(kDigitsOnlyMessage, "对不起，这里只能输入数字！");

  EXPECT_EQ(ForcedInputFormatFor("/v/x.DAT"), "mpeg");
  EXPECT_EQ(ForcedInputFormatFor("/v.dat/x.avi"), "");
}
