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
  ASSERT_TRUE(Open(testsupport::WritePlaylist("local.m3u8", "segment.ts"), true)) << player->LastErrMsg();
  player->Stop(true);

  const std::string entry = listener.Url("segment.ts");
  for (const char* name : {"network.m3u8", "网络列表.m3u8"}) {
    Open(testsupport::WritePlaylist(name, entry), true);
    player->Stop(true);
    EXPECT_EQ(listener.Connections(), 0) << name;
  }
}

}  // namespace
