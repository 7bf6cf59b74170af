#include "profiles/option_lists.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "profiles/output_catalogue.h"

using namespace profiles;

namespace {

std::vector<std::string> Items(const TOptionList& list) { return list.Items; }

}  // namespace

TEST(OptionLists, EveryTypeHasAnAssignmentWithDefaultsInsideItsLists) {
  EXPECT_EQ(NamedLists().size(), 93u);
  for (const TOutputType& type : OutputTypes()) {
    const TTypeAssignment* assignment = FindAssignment(type.Code);
    ASSERT_NE(assignment, nullptr) << type.Code;
    for (const TListChoice& choice : assignment->Lists) {
      ASSERT_NE(choice.List, nullptr) << type.Code;
      EXPECT_GE(choice.DefaultRow, 0);
      EXPECT_LT(choice.DefaultRow, static_cast<int>(choice.List->Items.size()))
          << type.Code << choice.List->Name;
    }
    EXPECT_EQ(assignment->Lists[olVolume].List->Name, "VL1");
    EXPECT_EQ(assignment->Lists[olChannels].List->Name, type.Code == 209 ? "CH2" : "CH1");
  }
  EXPECT_EQ(FindAssignment(499), nullptr);
}

TEST(OptionLists, RepeatedItemsAndOddCaptionsStayAsWritten) {
  EXPECT_EQ(FindNamedList("AR6")->Items,
            (std::vector<std::string_view>{"11025", "22050", "44100", "44100", "48000"}));
  const auto& vs9 = FindNamedList("VS9")->Items;
  ASSERT_EQ(vs9.size(), 14u);
  EXPECT_EQ(vs9[10], "2560*1600");
  EXPECT_EQ(vs9[11], "2560*1600");
  EXPECT_EQ(FindNamedList("VS5")->Items[2], "480*272  (PSP 3.03或更高固件版本适用)");
  // "MPEG4视频压缩器" without a blank in VC1, with one in VC4: two different captions.
  EXPECT_EQ(FindNamedList("VC1")->Items[0], "MPEG4视频压缩器");
  EXPECT_EQ(FindNamedList("VC4")->Items[2], "MPEG4 视频压缩器");
  EXPECT_EQ(FindNamedList("VB15")->Items.back(), "9000 kbps(极高质量)");
}

TEST(OptionLists, VolumeListStepsByTenPercentEachOnce) {
  const auto& volume = FindNamedList("VL1")->Items;
  ASSERT_EQ(volume.size(), 28u);
  EXPECT_EQ(volume[0], "无声音");
  EXPECT_EQ(volume[10], "音量保持不变");
  for (int step = 1; step <= 9; ++step) {
    EXPECT_EQ(volume[10 - step], "音量降低" + std::to_string(step * 10) + "%");
    EXPECT_EQ(volume[10 + step], "音量增加" + std::to_string(step * 10) + "%");
  }
  EXPECT_EQ(volume.back(), "音量增加7倍");
}

TEST(OptionLists, Type500OpensWithItsDefaults) {
  const TFilledOptions filled = FillOptionLists(500);
  ASSERT_TRUE(filled.HasType);
  EXPECT_EQ(CurrentCaptions(filled.Lists),
            (std::array<std::string, olCount>{"Divx 5 视频压缩器", "816 kbps (高质量)", "保持原分辨率", "25",
                                              "MP3音频编码器", "128", "44100", "普通视频4:3模式",
                                              "音量保持不变", "立体声"}));
  EXPECT_EQ(filled.FileExtension, ".mp4");
  EXPECT_FALSE(filled.AudioOnly);
  EXPECT_TRUE(filled.FileFormat.empty());
  EXPECT_TRUE(filled.DiscTarget.empty());
}

TEST(OptionLists, AmrTypeIsAudioOnlyWithNarrowChoices) {
  const TFilledOptions filled = FillOptionLists(209);
  EXPECT_TRUE(filled.AudioOnly);
  EXPECT_EQ(Items(filled.Lists[olAudioBitrate]),
            (std::vector<std::string>{"4.75", "5.15", "5.9", "6.7", "7.4", "7.95", "10.2", "12.2"}));
  EXPECT_EQ(filled.Lists[olAudioBitrate].SelectedText(), "7.4");
  EXPECT_EQ(Items(filled.Lists[olSampleRate]), (std::vector<std::string>{"8000"}));
  EXPECT_EQ(Items(filled.Lists[olChannels]), (std::vector<std::string>{"单声道"}));
  // The video lists stay visible with their single item.
  EXPECT_EQ(filled.Lists[olVideoCodec].SelectedText(), "该格式无视频");
  EXPECT_EQ(filled.Lists[olFrameSize].SelectedText(), "无");
}

TEST(OptionLists, RmTypeOffersOnlyAutomaticAudio) {
  const auto captions = CurrentCaptions(FillOptionLists(15).Lists);
  EXPECT_EQ(captions[olAudioCodec], "自动音频编码器");
  EXPECT_EQ(captions[olAudioBitrate], "自动音频比特率");
  EXPECT_EQ(captions[olSampleRate], "自动音频采样率");
}

TEST(OptionLists, TypesSharingSettingsFillAlike) {
  for (int code : {2, 3}) EXPECT_EQ(FillOptionLists(code).Lists, FillOptionLists(1).Lists);
  for (int code : {7, 8, 9}) EXPECT_EQ(FillOptionLists(code).Lists, FillOptionLists(6).Lists);
  EXPECT_NE(FillOptionLists(6).TypeTag, FillOptionLists(4).TypeTag);
}

TEST(OptionLists, ExtrasOfTheFillDoNotCarryOver) {
  EXPECT_EQ(FillOptionLists(523).FileFormat, "mov");
  EXPECT_EQ(FillOptionLists(517).DiscTarget, "dvd");
  EXPECT_EQ(FillOptionLists(20).DiscTarget, "svcd");
  const TFilledOptions none = FillOptionLists(499);
  EXPECT_FALSE(none.HasType);
  for (const TOptionList& list : none.Lists) {
    EXPECT_TRUE(list.Items.empty());
    EXPECT_EQ(list.SelectedText(), "");
  }
}

TEST(OptionLists, MjpegOnComputerTypesSwapsTheBitrateListBothWays) {
  TOptionLists lists = FillOptionLists(1).Lists;
  EXPECT_EQ(ChangeVideoCodec(1, lists, 5), olVideoBitrate);  // "Mjpeg 视频压缩器"
  EXPECT_EQ(lists[olVideoCodec].SelectedText(), "Mjpeg 视频压缩器");
  EXPECT_EQ(lists[olVideoBitrate].Items.size(), 15u);
  EXPECT_EQ(lists[olVideoBitrate].SelectedText(), "3000 kbps(高质量)");
  EXPECT_EQ(lists[olVideoBitrate].Items.back(), "9000 kbps(极高质量)");

  EXPECT_EQ(ChangeVideoCodec(1, lists, 0), olVideoBitrate);  // "Divx 5 视频压缩器"
  EXPECT_EQ(Items(lists[olVideoBitrate]), Items(FillOptionLists(1).Lists[olVideoBitrate]));
  EXPECT_EQ(lists[olVideoBitrate].SelectedText(), "528 kbps(中等质量)");

  // Other types keep their bit-rate list whatever the codec.
  TOptionLists other = FillOptionLists(24).Lists;
  const TOptionLists before = other;
  EXPECT_EQ(ChangeVideoCodec(24, other, 0), std::nullopt);
  EXPECT_EQ(other, before);
}

TEST(OptionLists, DivxAndXvidOnDeviceTypesSwapTheSizeListWithoutRestoring) {
  TOptionLists lists = FillOptionLists(100).Lists;          // VC6
  EXPECT_EQ(ChangeVideoCodec(100, lists, 4), olFrameSize);  // "Divx 视频压缩器"
  EXPECT_EQ(Items(lists[olFrameSize]), (std::vector<std::string>{"128*96", "176*144", "352*288", "740*567"}));
  EXPECT_EQ(lists[olFrameSize].SelectedText(), "176*144");

  // H.264 has no rule: the replaced list stays.
  EXPECT_EQ(ChangeVideoCodec(100, lists, 5), std::nullopt);
  EXPECT_EQ(lists[olVideoCodec].SelectedText(), "H264/AVC高清视频压缩器");
  EXPECT_EQ(lists[olFrameSize].Items.size(), 4u);

  TOptionLists h264 = FillOptionLists(101).Lists;          // VC4
  EXPECT_EQ(ChangeVideoCodec(101, h264, 3), olFrameSize);  // "XviD 视频压缩器1"
  EXPECT_EQ(h264[olFrameSize].Items.size(), 11u);
  EXPECT_EQ(h264[olFrameSize].Items.front(), "112*96");
  EXPECT_EQ(h264[olFrameSize].SelectedText(), "176*144");

  EXPECT_EQ(ChangeVideoCodec(101, h264, 99), std::nullopt);
  EXPECT_EQ(h264[olVideoCodec].SelectedText(), "XviD 视频压缩器1");
}
