#include "cli/cli_listing.h"

#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace {

TEST(CliListing, TypesOneLinePerCatalogueEntry) {
  const std::string text = cli::ListTypesText();
  std::istringstream lines(text);
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) ++count;
  EXPECT_EQ(count, 81);
  EXPECT_EQ(text.rfind("500\t", 0), 0u);
  EXPECT_NE(text.find("\n507\tPSP视频格式\t.mp4\tyes\n"), std::string::npos) << text;
  // Row 1 of a disabled page is not selectable in the chooser; row 0 is.
  EXPECT_NE(text.find("\n100\t"), std::string::npos);
  EXPECT_NE(text.find("\t.mp4\tno\n"), std::string::npos);
}

TEST(CliListing, OptionsMarkDefaultsAndShowCodecReplacements) {
  const std::string text = cli::ListOptionsText(500);
  EXPECT_NE(text.find("--video-codec (视频编码器：)\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\n  * Divx 5 视频压缩器\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\n    MPEG4视频压缩器\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\n  * 816 kbps (高质量)\n"), std::string::npos) << text;
  EXPECT_NE(text.find("--channels (声道设置：)\n  * 立体声\n    单声道\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("offers instead"), std::string::npos);

  // Type 100: two codec groups put other size lists in place.
  const std::string t100 = cli::ListOptionsText(100);
  EXPECT_NE(
      t100.find("with --video-codec 'Divx 视频压缩器', --size offers instead:\n    128*96\n  * 176*144\n"
                "    352*288\n    740*567\n"),
      std::string::npos)
      << t100;
  EXPECT_NE(
      t100.find("with --video-codec 'Divx 5 视频压缩器', 'XviD 视频压缩器1' or 'XviD 视频压缩器2', --size"),
      std::string::npos)
      << t100;

  EXPECT_NE(cli::ListOptionsText(209).find("Audio only"), std::string::npos);
  EXPECT_TRUE(cli::ListOptionsText(499).empty());
}

}  // namespace
