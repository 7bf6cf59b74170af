// The packet queue between the reader and a decoder.
#include <gtest/gtest.h>

#include <thread>

#include "player/packet_queue.h"
#include "support/media_libraries.h"

namespace {

AVPacket* DataPacket(int size, int streamIndex) {
  AVPacket* p = lib::av_packet_alloc();
  EXPECT_EQ(lib::av_new_packet(p, size), 0);
  p->stream_index = streamIndex;
  return p;
}

}  // namespace

TEST(PacketQueue, BeginsWithTheFlushPacketAndCountsDataPlusOverhead) {
  testsupport::LoadPlayerLibraries();
  TPacketQueue q;
  q.Init();
  EXPECT_EQ(q.Count(), 1);
  EXPECT_EQ(q.Size(), kPacketNodeOverhead);
  AVPacket* a = DataPacket(100, 7);
  AVPacket* b = DataPacket(30, 8);
  ASSERT_EQ(q.Put(a), 0);
  ASSERT_EQ(q.Put(b), 0);
  EXPECT_EQ(a->data, nullptr);  // the queue took the reference
  EXPECT_EQ(q.Count(), 3);
  EXPECT_EQ(q.Size(), 130 + 3 * kPacketNodeOverhead);

  AVPacket* out = lib::av_packet_alloc();
  ASSERT_EQ(q.Get(out, false), 1);
  EXPECT_TRUE(IsFlushPacket(out));
  ASSERT_EQ(q.Get(out, false), 1);
  EXPECT_EQ(out->stream_index, 7);
  EXPECT_EQ(out->size, 100);
  ASSERT_EQ(q.Get(out, false), 1);
  EXPECT_EQ(out->stream_index, 8);
  EXPECT_EQ(q.Get(out, false), 0);
  EXPECT_EQ(q.Size(), 0);

  // A flush empties it; the flush packet can be queued again.
  AVPacket* c = DataPacket(10, 1);
  ASSERT_EQ(q.Put(c), 0);
  q.Flush();
  EXPECT_EQ(q.Count(), 0);
  AVPacket* flush = lib::av_packet_alloc();
  MakeFlushPacket(flush);
  ASSERT_EQ(q.Put(flush), 0);
  ASSERT_EQ(q.Get(out, false), 1);
  EXPECT_TRUE(IsFlushPacket(out));
  lib::av_packet_unref(out);
  for (AVPacket* p : {a, b, c, flush, out}) lib::av_packet_free(&p);
}

TEST(PacketQueue, AbortWakesAWaitingConsumer) {
  testsupport::LoadPlayerLibraries();
  TPacketQueue q;
  q.Init();
  AVPacket* out = lib::av_packet_alloc();
  ASSERT_EQ(q.Get(out, true), 1);  // the flush packet
  int result = 0;
  std::thread consumer([&] {
    AVPacket* p = lib::av_packet_alloc();
    result = q.Get(p, true);
    lib::av_packet_free(&p);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  q.Abort();
  consumer.join();
  EXPECT_EQ(result, -1);
  // Packets queued after the abort are never handed out.
  AVPacket* late = DataPacket(5, 0);
  q.Put(late);
  EXPECT_EQ(q.Get(out, false), -1);
  lib::av_packet_free(&late);
  lib::av_packet_free(&out);
}
