// An input named as a local file stays local: a playlist inside it may not
// lead the libraries onto the network, whichever road the name takes to the
// library. Inputs given as URLs are opened as they always were.
#include <string>

#include <gtest/gtest.h>

#include "media/av_probe.h"
#include "media/wide_protocol.h"
#include "platform/code_page.h"
#include "support/local_playlist.h"
#include "support/media_libraries.h"
#include "support/test_media.h"

namespace {

class InputProtocolsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::LoadConverterLibraries();
    ASSERT_TRUE(listener.Listening());
  }
  testsupport::LoopbackListener listener;
};

TEST(LocalLibraryNames, FilesWhateverTheRoadAreLocalAndUrlsAndOtherProtocolsAreNot) {
  for (const char* name : {"/tmp/a.avi", "clip.avi", "file:/tmp/a.avi", "unicode:utf8:/tmp/测试.m3u8",
                           "/tmp/time 10:30.avi", "./a:b.avi"})
    EXPECT_TRUE(IsLocalLibraryName(name)) << name;
  for (const char* name : {"http://127.0.0.1/list.m3u8", "https://host/a.mp4", "rtmp://host/live", "pipe:0",
                           "udp://239.0.0.1:1234", "concat:a.ts|b.ts", "subfile,,start,0,end,0,,:/tmp/a.ts"})
    EXPECT_FALSE(IsLocalLibraryName(name)) << name;
}

// Relative entries resolve next to the playlist on either road, and the
// probe still reports the name it was given.
TEST_F(InputProtocolsTest, ALocalPlaylistOfLocalSegmentsOpensOnEitherRoad) {
  testsupport::PlaylistSegment();
  const std::string wide = testsupport::WritePlaylist("本地列表.m3u8", "segment.ts");
  ASSERT_TRUE(IsWideLibraryName(ToLibraryFileName(platform::Widen(wide))));
  for (const std::string& path : {testsupport::WritePlaylist("local.m3u8", "segment.ts"), wide}) {
    TAVProbe probe;
    ASSERT_TRUE(probe.LoadFile(platform::Widen(path))) << path << ": " << probe.LastErrMsg();
    EXPECT_EQ(probe.VideoStreamCount(), 1);
    EXPECT_EQ(probe.AudioStreamCount(), 1);
    EXPECT_EQ(probe.FileName(), platform::Widen(path));
  }
}

// The name without the locale's charset goes to the library with an I/O
// context of our own, which carries no protocol list of the library's.
TEST_F(InputProtocolsTest, ALocalPlaylistNeverReachesTheNetworkOnEitherRoad) {
  const std::string entry = listener.Url("segment.ts");
  const std::string plain = testsupport::WritePlaylist("network.m3u8", entry);
  const std::string wide = testsupport::WritePlaylist("网络列表.m3u8", entry);
  ASSERT_TRUE(IsWideLibraryName(ToLibraryFileName(platform::Widen(wide))));
  for (const std::string& path : {plain, wide}) {
    TAVProbe probe;
    probe.LoadFile(platform::Widen(path));
    EXPECT_EQ(listener.Connections(), 0) << path;
  }
}

TEST_F(InputProtocolsTest, AnInputGivenAsAUrlIsStillFetched) {
  TAVProbe probe;
  EXPECT_FALSE(probe.LoadFile(platform::Widen(listener.Url("list.m3u8"))));
  EXPECT_GE(listener.Connections(), 1);
}

}  // namespace
