#include "platform/main_thread.h"

#include <atomic>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

#include "platform/event.h"

TEST(MainThread, WorkerCallsRunOnTheMainThreadWhileItWaits) {
  ASSERT_TRUE(platform::IsMainThread());
  std::atomic<int> wakeUps{0};
  platform::SetWakeUpHook([&] { ++wakeUps; });
  std::atomic<bool> finished{false};
  bool ranOnMain = false;
  std::thread worker([&] {
    platform::CallInMainThread([&] { ranOnMain = platform::IsMainThread(); });
    // An exception thrown by the call reaches the caller.
    EXPECT_THROW(platform::CallInMainThread([] { throw std::runtime_error("boom"); }), std::runtime_error);
    finished = true;
  });
  platform::WaitServingMainThread([&] { return finished.load(); });
  worker.join();
  platform::SetWakeUpHook(nullptr);
  EXPECT_TRUE(ranOnMain);
  EXPECT_EQ(wakeUps.load(), 2);

  bool direct = false;
  platform::CallInMainThread([&] { direct = true; });  // on the main thread: at once
  EXPECT_TRUE(direct);
}

TEST(MainThread, MessagePumpRunsOnlyOnTheMainThread) {
  int pumps = 0;
  platform::SetMessagePump([&] { ++pumps; });
  platform::ProcessPendingMessages();
  std::thread([] { platform::ProcessPendingMessages(); }).join();
  platform::SetMessagePump(nullptr);
  EXPECT_EQ(pumps, 1);
}

TEST(Event, ManualResetStaysSetUntilReset) {
  platform::Event e;
  EXPECT_FALSE(e.WaitFor(10));
  std::thread setter([&] { e.Set(); });
  e.Wait();
  setter.join();
  EXPECT_TRUE(e.WaitFor(0));
  EXPECT_TRUE(e.IsSet());
  e.Reset();
  EXPECT_FALSE(e.WaitFor(5));
}
