// A task's input named as a local file stays local: the entries of a
// playlist in it never take the task onto the network.
#include <string>

#include <gtest/gtest.h>

#include "context_fixture.h"
#include "support/local_playlist.h"

namespace {

using enginetest::ContextTest;

class InputProtocolsTest : public ContextTest {
 protected:
  testsupport::LoopbackListener listener;
};

TEST_F(InputProtocolsTest, APlaylistOfLocalSegmentsOpensAndOneOnTheNetworkIsNotFollowed) {
  ASSERT_TRUE(listener.Listening());
  testsupport::PlaylistSegment();
  // The second name of each pair takes our own I/O road (the test runs in
  // the C locale).
  for (const char* name : {"local.m3u8", "本地列表.m3u8"}) {
    task.ResetTask();
    ASSERT_TRUE(AddInput(testsupport::WritePlaylist(name, "segment.ts"))) << name << ": " << task.LastOpenError();
  }

  const std::string entry = listener.Url("segment.ts");
  for (const char* name : {"network.m3u8", "网络列表.m3u8"}) {
    task.ResetTask();
    AddInput(testsupport::WritePlaylist(name, entry));
    EXPECT_EQ(listener.Connections(), 0) << name;
  }
}

}  // namespace
