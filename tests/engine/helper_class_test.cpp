// Where the helper threads of an overlapped run go, as the machine's load
// changes: the keeper's decisions from made-up samples.
#include <gtest/gtest.h>

#include "engine/helper_class.h"

namespace {

using TMove = THelperClassKeeper::TMove;

// A machine whose other programs have kept `others` processors busy since
// the previous sample, `seconds` later.
struct Machine {
  platform::TCpuSample last{true, 100, 10, 1000};

  platform::TCpuSample After(double seconds, double others) {
    last.WallSeconds += seconds;
    last.SystemBusySeconds += others * seconds + 1.5 * seconds;  // this process's own 1.5 are not counted
    last.OwnSeconds += 1.5 * seconds;
    return last;
  }
};

TEST(HelperClassKeeper, GoesIdleWhileQuietAndComesBackWhenOthersGetBusy) {
  Machine machine;
  THelperClassKeeper keeper(THelperClass::IdleWhenQuiet, true, machine.last);
  const double start = machine.last.WallSeconds;
  EXPECT_FALSE(keeper.Due(start + 0.1));
  ASSERT_TRUE(keeper.Due(start + kIdleClassSampleMs / 1000.0 + 0.001));
  EXPECT_EQ(keeper.Next(machine.After(0.15, 0.1)), TMove::ToIdle);
  EXPECT_TRUE(keeper.Idle());

  // Then a window of its own length each time.
  EXPECT_FALSE(keeper.Due(machine.last.WallSeconds + 0.4));
  ASSERT_TRUE(keeper.Due(machine.last.WallSeconds + kLoadWindowMs / 1000.0 + 0.001));
  // Some load between quiet and busy changes nothing either way.
  EXPECT_EQ(keeper.Next(machine.After(0.5, 0.4)), TMove::None);
  EXPECT_TRUE(keeper.Idle());
  EXPECT_EQ(keeper.Next(machine.After(0.5, 1.8)), TMove::ToNormal);
  EXPECT_FALSE(keeper.Idle());
  EXPECT_EQ(keeper.Next(machine.After(0.5, 0.4)), TMove::None);
  EXPECT_EQ(keeper.Next(machine.After(0.5, 0)), TMove::ToIdle);

  // A load that can no longer be told brings them back for good.
  EXPECT_EQ(keeper.Next(platform::TCpuSample()), TMove::ToNormal);
  EXPECT_FALSE(keeper.Due(machine.last.WallSeconds + 100));
}

TEST(HelperClassKeeper, ABusyStartWaitsForQuiet) {
  Machine machine;
  THelperClassKeeper keeper(THelperClass::IdleWhenQuiet, true, machine.last);
  EXPECT_EQ(keeper.Next(machine.After(0.15, 1.0)), TMove::None);
  EXPECT_EQ(keeper.Next(machine.After(0.5, 0.3)), TMove::None);
  EXPECT_EQ(keeper.Next(machine.After(0.5, 0.2)), TMove::ToIdle);
}

TEST(HelperClassKeeper, NeverSendsWhatCouldNotComeBackOrCannotBeJudged) {
  Machine machine;
  const platform::TCpuSample began = machine.last;
  const THelperClassKeeper stranded(THelperClass::IdleWhenQuiet, false, began);
  const THelperClassKeeper blind(THelperClass::IdleWhenQuiet, true, platform::TCpuSample());
  const THelperClassKeeper nicer(THelperClass::Nicer, true, began);
  for (const THelperClassKeeper* keeper : {&stranded, &blind, &nicer})
    EXPECT_FALSE(keeper->Due(began.WallSeconds + 60));

  // Asked for, the idle class comes at once and stays, whatever the load.
  THelperClassKeeper forced(THelperClass::Idle, false, platform::TCpuSample());
  ASSERT_TRUE(forced.Due(0));
  EXPECT_EQ(forced.Next(machine.After(0.01, 2.0)), TMove::ToIdle);
  EXPECT_FALSE(forced.Due(1e9));
}

}  // namespace
