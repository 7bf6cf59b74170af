// What the player opens by a local file name stays local: the entries of a
// playlist in it never take the read thread onto the network.
#include <string>

#include <gtest/gtest.h>

#include "player_fixture.h"
#include "support/local_playlist.h"

namespace {

TEST_F(PlayerTest, APlaylistOfLocalSegmentsPlaysAndOneOnTheNetworkIsNotFollowed) {
  testsupport::LoopbackListener listener;
  ASSERT_TRUE(listener.Listening());
  testsupport::PlaylistSegment();
  for (const char* name : {"local.m3u8", "本地列表.m3u8"}) {
    ASSERT_TRUE(Open(testsupport::WritePlaylist(name, "segment.ts"), true)) << name << ": " << player->LastErrMsg();
    player->Stop(true);
  }

  const std::string entry = listener.Url("segment.ts");
  for (const char* name : {"network.m3u8", "网络列表.m3u8"}) {
    Open(testsupport::WritePlaylist(name, entry), true);
    player->Stop(true);
    EXPECT_EQ(listener.Connections(), 0) << name;
  }
}

}  // namespace
