#include "profiles/output_catalogue.h"

#include <map>
#include <set>
#include <string>

#include <gtest/gtest.h>

using namespace profiles;

TEST(OutputCatalogue, PagesHoldTheirCodesInRowOrder) {
  ASSERT_EQ(OutputTypes().size(), 81u);
  const std::map<int, std::pair<int, int>> expected = {
      {0, {500, 27}}, {1, {100, 20}}, {2, {1, 24}}, {3, {200, 10}}};
  std::set<int> codes;
  for (const TOutputTab& tab : OutputTabs()) {
    EXPECT_EQ(tab.Base, expected.at(tab.Page).first);
    ASSERT_EQ(static_cast<int>(OutputTypesOfPage(tab.Page).size()), expected.at(tab.Page).second);
    int row = 0;
    for (const TOutputType& type : OutputTypesOfPage(tab.Page)) {
      EXPECT_EQ(type.Page, tab.Page);
      EXPECT_EQ(type.Row, row);
      EXPECT_EQ(type.Code, tab.Base + row);
      EXPECT_EQ(FindOutputType(type.Code), &type);
      codes.insert(type.Code);
      ++row;
    }
  }
  EXPECT_EQ(codes.size(), 81u);
  EXPECT_EQ(OutputTabs()[0].Caption, "MPEG4与各种常用视频格式");
  EXPECT_TRUE(OutputTabs()[0].Enabled);
  EXPECT_FALSE(OutputTabs()[3].Enabled);
}

TEST(OutputCatalogue, CodesOutsideTheRangesNameNoType) {
  for (int code : {0, 99, 199, 499, -1, 25, 120, 210, 527, 1000})
    EXPECT_EQ(FindOutputType(code), nullptr) << code;
  // A list without a selected row yields base - 1.
  EXPECT_EQ(OutputTypeCodeFor(0, -1), 499);
  EXPECT_EQ(OutputTypeCodeFor(1, -1), 99);
  EXPECT_EQ(OutputTypeCodeFor(2, -1), 0);
  EXPECT_EQ(OutputTypeCodeFor(3, -1), 199);
  EXPECT_EQ(OutputTypeCodeFor(3, 0), 200);
  EXPECT_EQ(OutputTypeCodeFor(0, 26), 526);
}

TEST(OutputCatalogue, ExtensionsAndTagsOfTheDeviceTypes) {
  // Only the Sony and Apple device types carry a tag other than their extension.
  const std::map<int, std::string> tagged = {
      {504, ".ipod.mp4"}, {505, ".psp.mp4"}, {506, ".ipod.mp4"}, {507, ".psp.mp4"}, {4, ".psp.mp4"},
      {5, ".psp.mp4"},    {6, ".ipod.mp4"},  {7, ".ipod.mp4"},   {8, ".ipod.mp4"},  {9, ".ipod.mp4"}};
  for (const TOutputType& type : OutputTypes()) {
    if (tagged.count(type.Code)) {
      EXPECT_EQ(type.FileExtension, ".mp4") << type.Code;
      EXPECT_EQ(type.TypeTag, tagged.at(type.Code)) << type.Code;
    } else {
      EXPECT_EQ(type.TypeTag, type.FileExtension) << type.Code;
    }
  }
  // Its caption names MP4, but the file is an AVI.
  EXPECT_EQ(FindOutputType(509)->Caption, "MP4视频格式（H.264编码）");
  EXPECT_EQ(FindOutputType(509)->FileExtension, ".avi");
  EXPECT_EQ(FindOutputType(203)->FileExtension, ".m4a");
  EXPECT_EQ(FindOutputType(209)->Caption, "AMR（手机）音频格式");
  EXPECT_EQ(FindOutputType(14)->Caption, "FLV视频格式(视频网站专用的FLV文件)(如土豆网)");
}

TEST(OutputCatalogue, IconsOfTheComputerPageSkipAndSwap) {
  EXPECT_EQ(FindOutputType(9)->Icon, 8);
  EXPECT_EQ(FindOutputType(10)->Icon, 12);
  EXPECT_EQ(FindOutputType(22)->Icon, 24);
  EXPECT_EQ(FindOutputType(23)->Icon, 37);
  EXPECT_EQ(FindOutputType(24)->Icon, 36);
  for (int page : {0, 1, 3})
    for (const TOutputType& type : OutputTypesOfPage(page)) EXPECT_EQ(type.Icon, type.Row);
}

TEST(OutputCatalogue, SpecialHandlingBelongsToExactlyItsTypes) {
  std::set<int> mov, audio;
  std::map<int, std::string> discs;
  for (const TOutputType& type : OutputTypes()) {
    if (!type.ContainerOverride.empty()) {
      EXPECT_EQ(type.ContainerOverride, "mov");
      mov.insert(type.Code);
    }
    if (!type.DiscType.empty()) discs[type.Code] = type.DiscType;
    if (type.AudioOnly) audio.insert(type.Code);
  }
  EXPECT_EQ(mov, (std::set<int>{17, 106, 523}));
  EXPECT_EQ(discs,
            (std::map<int, std::string>{{19, "dvd"}, {20, "svcd"}, {21, "vcd"}, {517, "dvd"}, {518, "vcd"}}));
  std::set<int> expectedAudio = {524, 525, 526};
  for (int code = 200; code <= 209; ++code) expectedAudio.insert(code);
  EXPECT_EQ(audio, expectedAudio);
}

TEST(OutputCatalogue, ChooserSelectsTheFirstPageAndRowZeroOfTheOthers) {
  std::set<int> selectable;
  for (const TOutputType& type : OutputTypes())
    if (IsChooserSelectable(type.Code)) selectable.insert(type.Code);
  EXPECT_EQ(selectable.size(), 30u);
  EXPECT_TRUE(selectable.count(500) && selectable.count(526) && selectable.count(100) &&
              selectable.count(1) && selectable.count(200));
  EXPECT_FALSE(IsChooserSelectable(101));
  EXPECT_FALSE(IsChooserSelectable(2));
  EXPECT_FALSE(IsChooserSelectable(209));
  EXPECT_FALSE(IsChooserSelectable(499));
}
