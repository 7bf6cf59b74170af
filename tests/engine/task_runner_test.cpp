#include "engine/task_runner.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "platform/main_thread.h"

namespace {

// A task whose body ticks until it is stopped or reaches its tick limit.
class TickTask : public TTaskRunner {
 public:
  int inputs = 1;
  int outputs = 1;
  int tickLimit = -1;  // -1: until stopped
  bool throwInTranscode = false;
  bool throwInCloseCodecs = false;

  std::atomic<int> ticks{0};
  std::atomic<bool> parked{false};  // saw the pause at a safe point
  std::atomic<int> closeCodecsCalls{0};
  std::atomic<int> releaseAllCalls{0};
  std::atomic<int> niceness{-100};

  ~TickTask() override {
    RequestStop(true);
    WaitDone();
  }

 protected:
  int InputCount() const override { return inputs; }
  int OutputCount() const override { return outputs; }
  void Transcode() override {
    niceness = ::getpriority(PRIO_PROCESS, id_t(::syscall(SYS_gettid)));
    if (throwInTranscode) throw FFmpegException("Broken stream");
    while (!StopRequested()) {
      if (Paused()) parked = true;
      SafePoint();
      if (tickLimit >= 0 && ticks >= tickLimit) break;
      ++ticks;
      if (ProgressRelay) ProgressRelay(*this, TProgressInfo{});
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  void CloseCodecs() override {
    ++closeCodecsCalls;
    if (throwInCloseCodecs) throw std::runtime_error("Codec close failed");
  }
  void ReleaseAll() override { ++releaseAllCalls; }
};

// Counts terminate reports and remembers the thread of the last one.
struct TerminateProbe {
  std::atomic<int> count{0};
  std::atomic<bool> onCaller{false};
  std::thread::id caller = std::this_thread::get_id();

  void Attach(TTaskRunner& task) {
    task.TerminateRelay = [this](TTaskRunner&) {
      onCaller = std::this_thread::get_id() == caller;
      ++count;
    };
  }
};

void WaitUntil(const std::function<bool()>& done) { platform::WaitServingMainThread(done, 2); }

TEST(TaskRunner, RunsInCallersThreadWhenNotThreaded) {
  TickTask task;
  task.tickLimit = 3;
  TerminateProbe probe;
  probe.Attach(task);

  EXPECT_FALSE(task.StartConvert(false, tpNormal));
  EXPECT_EQ(task.ticks, 3);
  EXPECT_TRUE(task.Finished());
  EXPECT_TRUE(task.Terminated());
  EXPECT_FALSE(task.Running());
  EXPECT_FALSE(task.Exception());
  EXPECT_EQ(probe.count, 1);
  EXPECT_TRUE(probe.onCaller);
  EXPECT_EQ(task.closeCodecsCalls, 1);
  EXPECT_EQ(task.releaseAllCalls, 1);

  // A task runs at most once.
  EXPECT_FALSE(task.StartConvert(false, tpNormal));
  EXPECT_EQ(task.ticks, 3);
  EXPECT_EQ(probe.count, 1);
}

TEST(TaskRunner, MissingFilesFailAtStartAndStillReport) {
  TickTask noOutput;
  noOutput.outputs = 0;
  noOutput.inputs = 0;  // the output check comes first
  TerminateProbe probe;
  probe.Attach(noOutput);
  EXPECT_FALSE(noOutput.StartConvert(true, tpNormal));
  EXPECT_TRUE(noOutput.Exception());
  EXPECT_EQ(noOutput.ExceptionMsg(), "At least one output file must be specified");
  EXPECT_TRUE(noOutput.Terminated());
  EXPECT_FALSE(noOutput.Finished());
  EXPECT_EQ(noOutput.releaseAllCalls, 1);
  EXPECT_EQ(noOutput.ticks, 0);
  EXPECT_EQ(probe.count, 1);

  TickTask noInput;
  noInput.inputs = 0;
  EXPECT_FALSE(noInput.StartConvert(false, tpNormal));
  EXPECT_EQ(noInput.ExceptionMsg(), "At least one input file must be specified");
}

TEST(TaskRunner, FailuresInEveryStepAreCaughtAndCleanupStillRuns) {
  TickTask task;
  task.throwInTranscode = true;
  task.throwInCloseCodecs = true;
  TerminateProbe probe;
  probe.Attach(task);
  task.StartConvert(false, tpNormal);
  EXPECT_TRUE(task.Exception());
  EXPECT_EQ(task.ExceptionMsg(), "Codec close failed");  // the last failure's text
  EXPECT_FALSE(task.Finished());
  EXPECT_EQ(task.releaseAllCalls, 1);
  EXPECT_EQ(probe.count, 1);
}

TEST(TaskRunner, ThreadedStopReportsNotFinished) {
  TickTask task;
  TerminateProbe probe;
  probe.Attach(task);
  ASSERT_TRUE(task.StartConvert(true, tpNormal));
  EXPECT_TRUE(task.Running());
  WaitUntil([&] { return task.ticks > 2; });
  task.StopConvert(true);
  EXPECT_TRUE(task.Terminated());
  EXPECT_FALSE(task.Finished());
  EXPECT_FALSE(task.Exception());
  EXPECT_EQ(probe.count, 1);
  EXPECT_FALSE(probe.onCaller);
  EXPECT_EQ(task.closeCodecsCalls, 1);
  EXPECT_EQ(task.releaseAllCalls, 1);
}

TEST(TaskRunner, NeverStartedTaskReportsFromAnotherThreadAndCannotStartAfterwards) {
  TickTask task;
  TerminateProbe probe;
  probe.Attach(task);
  task.StopConvert(true);
  EXPECT_EQ(probe.count, 1);
  EXPECT_FALSE(probe.onCaller);
  EXPECT_TRUE(task.Terminated());
  EXPECT_FALSE(task.Finished());
  EXPECT_FALSE(task.Exception());

  EXPECT_FALSE(task.StartConvert(true, tpNormal));
  task.StopConvert(true);  // already terminated: nothing
  EXPECT_EQ(task.ticks, 0);
  EXPECT_EQ(probe.count, 1);
}

TEST(TaskRunner, NeverStartedStopWithoutWaitIsJoinedByTheTask) {
  TerminateProbe probe;
  {
    TickTask task;
    probe.Attach(task);
    task.StopConvert(false);
  }
  EXPECT_EQ(probe.count, 1);
}

TEST(TaskRunner, PauseHaltsAtSafePointAndResumeContinues) {
  TickTask task;
  ASSERT_TRUE(task.StartConvert(true, tpNormal));
  WaitUntil([&] { return task.ticks > 0; });
  task.PauseConvert();
  EXPECT_TRUE(task.Paused());
  WaitUntil([&] { return task.parked.load(); });
  const int atPause = task.ticks;
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(task.ticks, atPause);
  EXPECT_TRUE(task.Running());

  task.ResumeConvert();
  EXPECT_FALSE(task.Paused());
  WaitUntil([&] { return task.ticks > atPause + 2; });
  task.StopConvert(true);
  EXPECT_FALSE(task.Finished());
}

TEST(TaskRunner, StopWakesAPausedTask) {
  TickTask task;
  TerminateProbe probe;
  probe.Attach(task);
  ASSERT_TRUE(task.StartConvert(true, tpNormal));
  task.PauseConvert();
  WaitUntil([&] { return task.parked.load(); });
  task.StopConvert(true);
  EXPECT_TRUE(task.Terminated());
  EXPECT_FALSE(task.Finished());
  EXPECT_EQ(probe.count, 1);
}

TEST(TaskRunner, StopWaitServesMainThreadCallsOfTheWorker) {
  TickTask task;
  std::atomic<int> onMain{0};
  task.ProgressRelay = [&](TTaskRunner&, const TProgressInfo&) {
    platform::CallInMainThread([&] {
      if (platform::IsMainThread()) ++onMain;
    });
  };
  ASSERT_TRUE(task.StartConvert(true, tpNormal));
  WaitUntil([&] { return onMain > 0; });
  task.StopConvert(true);  // would hang if the wait did not serve the worker's calls
  EXPECT_TRUE(task.Terminated());
}

TEST(TaskRunner, StopWithWaitFromInsideTheTaskDoesNotHang) {
  TickTask task;
  task.ProgressRelay = [&](TTaskRunner& t, const TProgressInfo&) { t.StopConvert(true); };
  ASSERT_TRUE(task.StartConvert(true, tpNormal));
  task.WaitDone();
  EXPECT_EQ(task.ticks, 1);
  EXPECT_FALSE(task.Finished());

  // The same from a handler that runs on the main thread while the worker waits.
  TickTask second;
  second.ProgressRelay = [&](TTaskRunner& t, const TProgressInfo&) {
    platform::CallInMainThread([&] {
      TTaskRunner::THandlerScope scope(t);
      t.StopConvert(true);
    });
  };
  ASSERT_TRUE(second.StartConvert(true, tpNormal));
  second.WaitDone();
  EXPECT_EQ(second.ticks, 1);
}

TEST(TaskRunner, WorkerRunsWithTheNicenessOfItsPriority) {
  TickTask task;
  task.tickLimit = 0;
  ASSERT_TRUE(task.StartConvert(true, tpIdle));
  task.WaitDone();
  EXPECT_EQ(task.niceness, 19);

  TickTask high;
  high.tickLimit = 0;
  ASSERT_TRUE(high.StartConvert(true, tpTimeCritical));
  high.WaitDone();
  // Raised when allowed, otherwise left as inherited: never lowered.
  EXPECT_LE(high.niceness, ::getpriority(PRIO_PROCESS, id_t(::syscall(SYS_gettid))));
}

}  // namespace
