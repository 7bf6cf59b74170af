// The notification queue: consecutive entries of one kind replace each
// other while undelivered; the ring loses its oldest entry when full.
#include "player_fixture.h"

TEST(NotificationQueue, ConsecutiveEntriesOfOneKindArriveAsTheNewest) {
  testsupport::LoadPlayerLibraries();
  TFFPlayer p;
  for (int i = 1; i <= 10; ++i) TPlayerTestAccess::Push(p, 1, psPlay, i * 1000);
  TPlayerTestAccess::Push(p, 2, psPause, 0);
  TPlayerTestAccess::Push(p, 2, psResume, 0);
  TPlayerTestAccess::Push(p, 1, psPlay, 77);
  int kind;
  TPlayState state;
  int64_t pos;
  ASSERT_TRUE(TPlayerTestAccess::Pop(p, kind, state, pos));
  EXPECT_EQ(kind, 1);
  EXPECT_EQ(pos, 10000);
  ASSERT_TRUE(TPlayerTestAccess::Pop(p, kind, state, pos));
  EXPECT_EQ(kind, 2);
  EXPECT_EQ(state, psResume);
  ASSERT_TRUE(TPlayerTestAccess::Pop(p, kind, state, pos));
  EXPECT_EQ(pos, 77);
  EXPECT_FALSE(TPlayerTestAccess::Pop(p, kind, state, pos));
}

TEST(NotificationQueue, AFullRingLosesItsOldestEntry) {
  testsupport::LoadPlayerLibraries();
  TFFPlayer p;
  // Alternating kinds never replace each other: 12 pushes, 9 kept.
  for (int i = 0; i < 12; ++i) TPlayerTestAccess::Push(p, 1 + (i % 2), psPlay, i);
  int kind;
  TPlayState state;
  int64_t pos;
  std::vector<int64_t> seen;
  while (TPlayerTestAccess::Pop(p, kind, state, pos)) seen.push_back(pos);
  ASSERT_EQ(seen.size(), 9u);
  EXPECT_EQ(seen.front(), 3);
  EXPECT_EQ(seen.back(), 11);
}
