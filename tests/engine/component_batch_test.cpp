// Running a batch: how many tasks run at once, the order and threads of the
// terminate events, stopping, pausing.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <thread>

#include "engine/transcoder.h"
#include "platform/main_thread.h"
#include "component_support.h"

namespace {

using namespace componenttest;

// Every task reported once, the batch end exactly once and last.
void ExpectCompleteReport(const std::vector<TerminateRecord>& records, int tasks) {
  ASSERT_EQ(int(records.size()), tasks + 1);
  std::set<int> seen;
  for (int i = 0; i < tasks; ++i) seen.insert(records[size_t(i)].info.TaskIndex);
  EXPECT_EQ(int(seen.size()), tasks);
  EXPECT_EQ(*seen.begin(), 0);
  EXPECT_EQ(*seen.rbegin(), tasks - 1);
  const TTerminateInfo& end = records.back().info;
  EXPECT_EQ(end.TaskIndex, -1);
  EXPECT_TRUE(end.Finished);
  EXPECT_FALSE(end.Exception);
  EXPECT_EQ(end.ExceptionMsg, "");
}

TEST(ComponentBatch, ThreadedBatchRunsTheChosenNumberAtOnce) {
  Gate gate;
  TestTranscoder engine;
  EventLog log;
  log.Attach(engine, /*terminateOnMainThread=*/true);
  for (int i = 0; i < 5; ++i) engine.AddGateTask(gate);

  engine.StartTask(3);  // returns at once
  WaitUntil([&] { return gate.Started() == 3; });
  EXPECT_EQ(gate.Running(), 3);
  EXPECT_TRUE(log.Terminates().empty());

  gate.Let(1);  // one ends: the fourth takes its place
  WaitUntil([&] { return gate.Started() == 4; });
  EXPECT_EQ(gate.MaxRunning(), 3);

  gate.OpenAll();
  log.WaitBatchEnd();
  EXPECT_EQ(gate.Started(), 5);
  EXPECT_EQ(gate.MaxRunning(), 3);

  const auto records = log.Terminates();
  ExpectCompleteReport(records, 5);
  for (const TerminateRecord& r : records) {
    EXPECT_FALSE(r.onMainThread) << "OnTerminate of a threaded batch ran on the main thread";
    if (r.info.TaskIndex >= 0) {
      EXPECT_TRUE(r.info.Finished);
      EXPECT_FALSE(r.info.Exception);
    }
  }
  EXPECT_TRUE(engine.AllDone());
  EXPECT_TRUE(engine.Working());
  EXPECT_GT(log.Progress(), 0);
  EXPECT_EQ(log.ProgressOffMain(), 0);  // OnProgress reached the main thread
  engine.ClearTasks();
}

TEST(ComponentBatch, UnthreadedBatchRunsEverythingBeforeReturning) {
  Gate gate;
  gate.OpenAll();
  TestTranscoder engine;
  EventLog log;
  log.Attach(engine, false);
  for (int i = 0; i < 5; ++i) engine.AddGateTask(gate);

  engine.StartTask(0);
  EXPECT_EQ(gate.Started(), 5);
  EXPECT_EQ(gate.MaxRunning(), 1);
  const auto records = log.Terminates();
  ExpectCompleteReport(records, 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(records[size_t(i)].info.TaskIndex, i);  // list order
  for (const TerminateRecord& r : records) EXPECT_TRUE(r.onMainThread);
  EXPECT_TRUE(engine.AllDone());
}

TEST(ComponentBatch, TaskWithoutOutputFailsAndTheBatchGoesOn) {
  Gate gate;
  gate.OpenAll();
  TestTranscoder engine;
  EventLog log;
  log.Attach(engine, false);
  engine.AddGateTask(gate, /*outputs=*/0);
  engine.AddGateTask(gate);
  engine.AddGateTask(gate);

  engine.StartTask(1);
  log.WaitBatchEnd();
  const auto records = log.Terminates();
  ExpectCompleteReport(records, 3);
  EXPECT_EQ(records[0].info.TaskIndex, 0);
  EXPECT_TRUE(records[0].info.Exception);
  EXPECT_FALSE(records[0].info.Finished);
  EXPECT_EQ(records[0].info.ExceptionMsg, "At least one output file must be specified");
  EXPECT_EQ(gate.Started(), 2);
  EXPECT_EQ(gate.MaxRunning(), 1);
}

TEST(ComponentBatch, StopWithWaitDuringThreadedBatchReportsEveryTaskUnfinished) {
  Gate gate;  // never opened: only the stop ends the tasks
  TestTranscoder engine;
  EventLog log;
  log.Attach(engine, /*terminateOnMainThread=*/true);
  for (int i = 0; i < 5; ++i) engine.AddGateTask(gate);

  engine.StartTask(2);
  WaitUntil([&] { return gate.Started() == 2 && log.Progress() > 0; });
  engine.Stop(true);  // serves the main-thread handlers while it waits
  EXPECT_EQ(gate.Running(), 0);

  log.WaitBatchEnd();
  const auto records = log.Terminates();
  ExpectCompleteReport(records, 5);
  for (const TerminateRecord& r : records) {
    if (r.info.TaskIndex < 0) continue;
    EXPECT_FALSE(r.info.Finished) << "task " << r.info.TaskIndex;
    EXPECT_FALSE(r.info.Exception) << "task " << r.info.TaskIndex;
  }
  EXPECT_EQ(gate.Started(), 2);  // nothing started after the stop
  engine.ClearTasks();
  EXPECT_FALSE(engine.Working());
}

TEST(ComponentBatch, StopFromAProgressHandlerOnTheMainThreadDoesNotHang) {
  Gate gate;
  TestTranscoder engine;
  EventLog log;
  log.Attach(engine, false);
  for (int i = 0; i < 3; ++i) engine.AddGateTask(gate);
  engine.SetOnProgress([&](TCustomTranscoder* sender, PProgressInfo) { sender->Stop(true); });

  engine.StartTask(2);
  log.WaitBatchEnd();
  ExpectCompleteReport(log.Terminates(), 3);
}

TEST(ComponentBatch, PauseHaltsEveryRunningTaskAndResumeContinues) {
  Gate gate;
  TestTranscoder engine;
  EventLog log;
  log.Attach(engine, false);
  GateTask& a = engine.AddGateTask(gate);
  GateTask& b = engine.AddGateTask(gate);

  engine.StartTask(2);
  WaitUntil([&] { return gate.Started() == 2 && log.Progress() > 0; });
  engine.Pause();
  WaitUntil([&] { return a.parked && b.parked; });
  const int atPause = log.Progress();
  const int loopsA = a.loops;
  // No progress and no events while paused (serving the main thread all along).
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(40);
  WaitUntil([&] { return std::chrono::steady_clock::now() >= until; });
  EXPECT_EQ(log.Progress(), atPause);
  EXPECT_EQ(a.loops, loopsA);
  EXPECT_TRUE(log.Terminates().empty());

  engine.Resume();
  WaitUntil([&] { return log.Progress() > atPause + 2; });
  gate.OpenAll();
  log.WaitBatchEnd();
  ExpectCompleteReport(log.Terminates(), 2);
}

TEST(ComponentBatch, StopWakesPausedTasks) {
  Gate gate;
  TestTranscoder engine;
  EventLog log;
  log.Attach(engine, false);
  GateTask& a = engine.AddGateTask(gate);
  engine.StartTask(1);
  WaitUntil([&] { return gate.Started() == 1; });
  engine.Pause();
  WaitUntil([&] { return a.parked.load(); });
  engine.Stop(true);
  log.WaitBatchEnd();
  ASSERT_EQ(log.Terminates().size(), 2u);
  EXPECT_FALSE(log.Terminates()[0].info.Finished);
}

TEST(ComponentBatch, EmptyBatchEndsAtOnce) {
  TestTranscoder engine;
  EventLog log;
  log.Attach(engine, false);
  engine.StartTask(2);
  log.WaitBatchEnd();
  EXPECT_EQ(log.Terminates().size(), 1u);
  EXPECT_TRUE(engine.AllDone());
  EXPECT_NO_THROW(engine.ClearTasks());
}

TEST(ComponentBatch, BatchEndHandlerMayClearTheTasks) {
  Gate gate;
  gate.OpenAll();
  TestTranscoder engine;
  std::atomic<bool> cleared{false};
  std::atomic<bool> raised{false};
  engine.SetOnTerminate([&](TCustomTranscoder* sender, const TTerminateInfo& info) {
    if (info.TaskIndex != -1) return;
    platform::CallInMainThread([&] {
      try {
        sender->ClearTasks();
        cleared = true;
      } catch (const std::exception&) {
        raised = true;
      }
    });
  });
  for (int i = 0; i < 3; ++i) engine.AddGateTask(gate);
  engine.StartTask(3);
  WaitUntil([&] { return cleared || raised; });
  EXPECT_TRUE(cleared);
  EXPECT_EQ(engine.TasksCount(), 0);
  EXPECT_FALSE(engine.Working());
}

TEST(ComponentBatch, WorkersGetTheReportIntervalAndPriority) {
  Gate gate;
  gate.OpenAll();
  TestTranscoder engine;
  EventLog log;
  log.Attach(engine, false);
  engine.SetProgressInterval(250);
  engine.SetThreadPriority(tpLowest);
  GateTask& task = engine.AddGateTask(gate);
  engine.StartTask(1);
  log.WaitBatchEnd();
  EXPECT_EQ(task.reportIntervalSeen, 250000);
}

}  // namespace
