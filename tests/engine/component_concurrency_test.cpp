// The component against its own threads: the main thread asking and stopping
// while workers finish, start the next task, log and report. A dead-lock
// here ends the program through the watchdog instead of hanging the run.
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "component_support.h"
#include "engine/transcoder.h"
#include "media/ffmpeg_logger.h"
#include "platform/code_page.h"
#include "platform/main_thread.h"
#include "support/media_libraries.h"
#include "support/test_media.h"
#include "support/watchdog.h"

namespace {

using namespace componenttest;

// Routes the process-wide logger to the main thread, as the window does,
// and counts the lines; puts the logger back afterwards.
class MainThreadLog {
 public:
  MainThreadLog() {
    logger_.SetTriggerEventInMainThread(true);
    logger_.SetOnLog([this](const void*, uint32_t, TLogLevel, const std::string& text) {
      std::lock_guard<std::mutex> guard(lock_);
      lines_.push_back(text);
    });
  }
  ~MainThreadLog() {
    logger_.SetOnLog(nullptr);
    platform::RunPendingMainThreadCalls();
  }
  bool Has(const std::string& text) {
    std::lock_guard<std::mutex> guard(lock_);
    for (const std::string& line : lines_)
      if (line == text) return true;
    return false;
  }

 private:
  TFFLogger& logger_ = DefaultLogger();
  std::mutex lock_;
  std::vector<std::string> lines_;  // guarded by lock_
};

// Notes every call queued for the main thread; puts the hook back afterwards.
class QueuedCalls {
 public:
  QueuedCalls() {
    platform::SetWakeUpHook([this] { queued_ = true; });
  }
  ~QueuedCalls() { platform::SetWakeUpHook(nullptr); }
  bool Take() { return queued_.exchange(false); }

 private:
  std::atomic<bool> queued_{false};
};

// The finishing worker starts the next task; a task without output logs its
// failure, and that line waits for the main thread. The main thread, like a
// window whose event loop is woken for each queued call, first asks the
// component about the batch and then runs the calls.
TEST(ComponentConcurrency, NextTaskStartsWithoutBlockingTheMainThreadsQuestions) {
  MainThreadLog log;
  Gate gate;
  TestTranscoder engine;
  EventLog events;
  events.Attach(engine, /*terminateOnMainThread=*/true);
  // No progress calls: the first call queued is the failing task's line.
  engine.SetOnProgress(nullptr);
  engine.AddGateTask(gate);
  engine.AddGateTask(gate, /*outputs=*/0);
  engine.AddGateTask(gate);
  QueuedCalls calls;

  testsupport::Watchdog watchdog("threaded batch with a task without output", 120);
  engine.StartTask(1);
  gate.OpenAll();
  int questions = 0;
  while (!events.BatchEnded()) {
    if (!calls.Take()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    EXPECT_TRUE(engine.Working());
    EXPECT_EQ(engine.TasksCount(), 3);
    ++questions;
    platform::ProcessPendingMessages();
  }
  EXPECT_GT(questions, 0);
  const auto records = events.Terminates();
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[1].info.TaskIndex, 1);
  EXPECT_TRUE(records[1].info.Exception);
  EXPECT_EQ(gate.Started(), 2);
  EXPECT_TRUE(log.Has("At least one output file must be specified"));
}

// A long run of tasks that fail at their start is worked off in a loop by
// the thread that finished the task before them, one after another.
TEST(ComponentConcurrency, ManyTasksFailingAtTheirStartAllReport) {
  Gate gate;
  gate.OpenAll();
  TestTranscoder engine;
  EventLog events;
  events.Attach(engine, false);
  engine.AddGateTask(gate);
  constexpr int kFailing = 300;
  for (int i = 0; i < kFailing; ++i) engine.AddGateTask(gate, /*outputs=*/0);
  engine.AddGateTask(gate);

  testsupport::Watchdog watchdog("batch of tasks failing at their start", 120);
  engine.StartTask(1);
  events.WaitBatchEnd();
  const auto records = events.Terminates();
  ASSERT_EQ(int(records.size()), kFailing + 3);
  for (int i = 1; i <= kFailing; ++i) EXPECT_TRUE(records[size_t(i)].info.Exception) << i;
  EXPECT_EQ(records.back().info.TaskIndex, -1);
  EXPECT_EQ(gate.Started(), 2);
}

// A task that reported its end before the batch (stopped before it started)
// is skipped without taking one of the batch's threads.
TEST(ComponentConcurrency, TaskStoppedBeforeTheBatchTakesNoThread) {
  Gate gate;
  TestTranscoder engine;
  EventLog events;
  events.Attach(engine, false);
  GateTask& first = engine.AddGateTask(gate);
  engine.AddGateTask(gate);
  engine.AddGateTask(gate);
  first.StopConvert(true);

  engine.StartTask(1);
  WaitUntil([&] { return gate.Started() == 1; });
  gate.Let(1);
  WaitUntil([&] { return gate.Started() == 2; });
  gate.OpenAll();
  events.WaitBatchEnd();
  EXPECT_EQ(gate.MaxRunning(), 1);
  EXPECT_EQ(events.Terminates().back().info.TaskIndex, -1);
}

// A batch-end handler that clears the tasks (as the window's batch runner
// does) runs on the main thread while Stop(true) still waits there for the
// tasks it is stopping.
TEST(ComponentConcurrency, BatchEndHandlerClearsTheTasksWhileStopWaits) {
  Gate held;  // never opened: only the stop ends task 0
  Gate open;
  open.OpenAll();
  TestTranscoder engine;
  std::atomic<bool> clearing{false}, cleared{false}, raised{false}, lastTaskEnded{false};
  engine.SetOnTerminate([&](TCustomTranscoder* sender, const TTerminateInfo& info) {
    if (info.TaskIndex == 1) lastTaskEnded = true;
    if (info.TaskIndex != -1) return;
    platform::CallInMainThread([&] {
      clearing = true;
      try {
        sender->ClearTasks();
        cleared = true;
      } catch (const std::exception&) {
        raised = true;
      }
    });
  });
  GateTask& stopped = engine.AddGateTask(held);
  engine.AddGateTask(open);
  // Task 0 ends its report only once the clearing has begun, so that the
  // clearing surely runs inside the stop's wait for task 0.
  const auto relay = stopped.TerminateRelay;
  stopped.TerminateRelay = [&clearing, relay](TTaskRunner& task) {
    relay(task);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!clearing && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  };

  testsupport::Watchdog watchdog("Stop(true) with a clearing batch-end handler", 120);
  engine.StartTask(2);
  WaitUntil([&] { return held.Started() == 1 && lastTaskEnded.load(); });
  engine.Stop(true);
  EXPECT_TRUE(cleared);
  EXPECT_FALSE(raised);
  EXPECT_EQ(engine.TasksCount(), 0);
  EXPECT_FALSE(engine.Working());
}

// The main thread asks for a task's opened input and probe while the task's
// worker closes them at the end of its run.
TEST(ComponentConcurrency, InputsCanBeAskedForWhileTheRunClosesThem) {
  testsupport::LoadConverterLibraries();
  const std::string input = testsupport::AviMpeg4Mp3();
  TTranscoder engine;
  EventLog events;
  events.Attach(engine, false);
  constexpr int kTasks = 3;
  for (int i = 0; i < kTasks; ++i) {
    ASSERT_EQ(engine.AddTask(platform::Widen(input)), i) << engine.LastErrMsg();
    TOutputOptions options;
    options.ExtraOptions = "vcodec=copy<CRLF>acodec=copy";
    const std::string out = testsupport::TempPath("asked_while_closing_" + std::to_string(i) + ".avi");
    ASSERT_TRUE(engine.SetOutputFile(i, platform::Widen(out), &options)) << engine.LastErrMsg();
  }

  testsupport::Watchdog watchdog("questions during a threaded batch", 300);
  engine.StartTask(kTasks);
  while (!events.BatchEnded()) {
    for (int i = 0; i < kTasks; ++i) {
      (void)engine.InputFormatContext(i, 0);
      TFFmpeg* task = engine.Task(i);
      ASSERT_NE(task, nullptr);
      (void)task->Probe(0);
      (void)task->InputCount();
      (void)task->OutputCount();
    }
    platform::ProcessPendingMessages();
  }
  for (const TerminateRecord& r : events.Terminates()) EXPECT_FALSE(r.info.Exception) << r.info.ExceptionMsg;
  // Closed with the end of the run.
  for (int i = 0; i < kTasks; ++i) EXPECT_EQ(engine.InputFormatContext(i, 0), nullptr);
}

}  // namespace
