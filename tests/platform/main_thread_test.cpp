#include "platform/main_thread.h"

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

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

// A posted call does not keep its caller waiting; it runs on the main thread
// in queue order with the waited-for calls, and its exception goes nowhere.
TEST(MainThread, PostedCallsRunInOrderWithoutTheCallerWaiting) {
  std::vector<int> order;  // main thread only
  std::atomic<bool> posted{false};
  std::thread worker([&] {
    platform::PostToMainThread([&] { order.push_back(1); });
    platform::PostToMainThread([] { throw std::runtime_error("dropped"); });
    posted = true;  // nobody has served the queue yet
    platform::CallInMainThread([&] { order.push_back(2); });
  });
  while (!posted) std::this_thread::yield();
  EXPECT_TRUE(order.empty());
  platform::WaitServingMainThread([&] { return order.size() == 2; });
  worker.join();
  EXPECT_EQ(order, (std::vector<int>{1, 2}));

  bool direct = false;
  platform::PostToMainThread([&] { direct = true; });  // on the main thread: at once
  EXPECT_TRUE(direct);
}

// A thread that makes the waited-for condition true ends the main thread's
// sleep at once instead of at the end of its slice (a minute here): also
// when the wake comes between the wait's check and its sleep.
TEST(MainThread, WakeEndsTheWaitBeforeItsSliceEnds) {
  for (int round = 0; round < 20; ++round) {
    std::atomic<bool> ready{false};
    std::thread worker([&] {
      if (round % 2) std::this_thread::yield();
      ready = true;
      platform::WakeMainThreadWait();
    });
    const auto began = std::chrono::steady_clock::now();
    platform::WaitServingMainThread([&] { return ready.load(); }, 60000);
    worker.join();
    ASSERT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(30)) << "round " << round;
  }
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
