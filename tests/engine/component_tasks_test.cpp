// The component's task list rules, properties and the relays that do not
// need a running conversion.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "component_support.h"
#include "engine/transcoder.h"
#include "media/bitmap.h"
#include "media/ffmpeg_logger.h"
#include "platform/main_thread.h"

namespace {

using namespace componenttest;

std::string ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const FFmpegException& e) {
    return std::string("FFmpegException: ") + e.what();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

TEST(ComponentTasks, PropertiesHaveTheirDefaults) {
  TTranscoder engine;
  EXPECT_EQ(engine.About(), "");
  EXPECT_EQ(engine.Version(), "3.3");
  EXPECT_FALSE(engine.Preview());
  EXPECT_FALSE(engine.PreviewBitmap());
  EXPECT_EQ(engine.ProgressInterval(), 500);
  EXPECT_EQ(engine.ThreadPriority(), tpNormal);
  EXPECT_TRUE(engine.TriggerEventInMainThread());
  EXPECT_EQ(engine.TasksCount(), 0);
  EXPECT_FALSE(engine.Working());
}

TEST(ComponentTasks, ProgressIntervalHasAFloorOf100) {
  TTranscoder engine;
  engine.SetProgressInterval(50);
  EXPECT_EQ(engine.ProgressInterval(), 100);
  engine.SetProgressInterval(-5);
  EXPECT_EQ(engine.ProgressInterval(), 100);
  engine.SetProgressInterval(101);
  EXPECT_EQ(engine.ProgressInterval(), 101);
}

TEST(ComponentTasks, ListOperationsAreRefusedFromStartUntilClearTasks) {
  Gate gate;
  TestTranscoder engine;
  EventLog log;
  log.Attach(engine, false);
  engine.AddGateTask(gate);
  engine.AddGateTask(gate);

  engine.StartTask(1);
  WaitUntil([&] { return gate.Started() == 1; });
  // A plain error, not a conversion error.
  EXPECT_EQ(ErrorOf([&] { engine.AddTask(L"a.avi"); }), "Cannot AddTask while working.");
  EXPECT_EQ(ErrorOf([&] { engine.SetOutputFile(0, L"b.avi"); }), "Cannot SetOutputFile while working.");
  EXPECT_EQ(ErrorOf([&] { engine.RemoveTask(0); }), "Cannot RemoveTask while working.");
  EXPECT_EQ(ErrorOf([&] { engine.StartTask(1); }), "Cannot StartTask while working.");
  EXPECT_EQ(ErrorOf([&] { engine.ClearTasks(); }), "Cannot ClearTasks while working.");
  EXPECT_EQ(engine.TasksCount(), 2);

  gate.OpenAll();
  log.WaitBatchEnd();
  // The batch has ended, but the list stays closed until it is cleared.
  EXPECT_TRUE(engine.AllDone());
  EXPECT_EQ(ErrorOf([&] { engine.AddTask(L"a.avi"); }), "Cannot AddTask while working.");
  EXPECT_EQ(ErrorOf([&] { engine.StartTask(1); }), "Cannot StartTask while working.");

  EXPECT_EQ(ErrorOf([&] { engine.ClearTasks(); }), "");
  EXPECT_EQ(engine.TasksCount(), 0);
  EXPECT_FALSE(engine.Working());
  EXPECT_FALSE(engine.AllDone());
  EXPECT_EQ(ErrorOf([&] { engine.RemoveTask(0); }), "");
}

TEST(ComponentTasks, RemoveTaskRenumbersTheRest) {
  Gate gate;
  TestTranscoder engine;
  engine.AddGateTask(gate);
  engine.AddGateTask(gate);
  GateTask& third = engine.AddGateTask(gate);
  EXPECT_EQ(third.TaskIndex, 2);
  engine.RemoveTask(0);
  engine.RemoveTask(7);  // out of range: nothing
  EXPECT_EQ(engine.TasksCount(), 2);
  EXPECT_EQ(third.TaskIndex, 1);
}

TEST(ComponentTasks, OutputLimitAndBadIndexAreReportedNotRaised) {
  Gate gate;
  TestTranscoder engine;
  engine.AddGateTask(gate, /*outputs=*/20);
  EXPECT_FALSE(engine.SetOutputFile(0, L"21st.avi"));
  EXPECT_EQ(engine.LastErrMsg(), "max output files 20 reached");

  EXPECT_FALSE(engine.SetOutputFile(3, L"x.avi"));
  EXPECT_EQ(engine.LastErrMsg(), "Task index 3 out of range");
  EXPECT_EQ(engine.InputFormatContext(3, 0), nullptr);
  EXPECT_EQ(engine.Task(0), nullptr);  // not a transcoding context

  engine.ClearTasks();
  EXPECT_EQ(engine.LastErrMsg(), "");
}

TEST(ComponentTasks, PreviewFlagsFollowTheProperties) {
  Gate gate;
  TestTranscoder engine;
  GateTask& before = engine.AddGateTask(gate);
  EXPECT_EQ(before.PreviewFlags, 0);
  engine.SetPreview(true);
  EXPECT_EQ(before.PreviewFlags, kPreviewWindowFlag);
  engine.SetPreviewBitmap(true);
  EXPECT_EQ(before.PreviewFlags, kPreviewWindowFlag | kPreviewBitmapFlag);
  GateTask& after = engine.AddGateTask(gate);
  EXPECT_EQ(after.PreviewFlags, kPreviewWindowFlag | kPreviewBitmapFlag);
  engine.SetPreview(false);
  EXPECT_EQ(before.PreviewFlags, kPreviewBitmapFlag);
  EXPECT_EQ(after.PreviewFlags, kPreviewBitmapFlag);
}

TEST(ComponentTasks, HookRunsOnTheWorkerAndHandsItsFlagsBack) {
  Gate gate;
  gate.Let(1);
  TestTranscoder engine;
  EventLog log;
  log.Attach(engine, false);
  GateTask& task = engine.AddGateTask(gate);
  engine.ConnectHookRelay(task);
  std::atomic<bool> onMain{true};
  std::atomic<int> taskIndex{-5};
  engine.SetOnCustomHook([&](TCustomTranscoder* sender, PHookInfo info) {
    onMain = platform::IsMainThread();
    taskIndex = info->TaskIndex;
    EXPECT_EQ(sender, &engine);
    EXPECT_EQ(info->FrameNumber, 7);
    info->Update = false;
    info->StopHook = true;
  });
  TBitmap bitmap(2, 2);
  engine.SetOnCustomHook([&, previous = engine.OnCustomHook()](TCustomTranscoder* sender, PHookInfo info) {
    EXPECT_EQ(info->Bitmap, &bitmap);
    info->Bitmap->Bits()[0] = 200;  // drawing on the locked bitmap
    previous(sender, info);
  });
  std::atomic<bool> handedBack{false};
  task.perLoop = [&](GateTask& t) {
    THookInfo info;
    info.Bitmap = &bitmap;
    info.FrameNumber = 7;
    t.HookRelay(t, info);
    handedBack = !info.Update && info.StopHook;
  };
  engine.StartTask(1);
  log.WaitBatchEnd();
  EXPECT_FALSE(onMain);
  EXPECT_EQ(taskIndex, 0);
  EXPECT_TRUE(handedBack);
  std::lock_guard<TBitmap> unlocked(bitmap);  // the relay let go of it
  EXPECT_EQ(bitmap.Bits()[0], 200);
}

TEST(ComponentTasks, FailingHookIsLoggedAndLeavesTheFrameAlone) {
  std::vector<std::string> lines;
  std::mutex linesLock;
  DefaultLogger().SetOnLog([&](const void*, uint32_t, TLogLevel level, const std::string& text) {
    std::lock_guard<std::mutex> guard(linesLock);
    if (level == llError) lines.push_back(text);
  });
  Gate gate;
  gate.Let(1);
  TestTranscoder engine;
  GateTask& task = engine.AddGateTask(gate);
  engine.ConnectHookRelay(task);
  engine.SetOnCustomHook([](TCustomTranscoder*, PHookInfo) { throw std::runtime_error("boom"); });
  bool update = true;
  task.perLoop = [&](GateTask& t) {
    THookInfo info;
    t.HookRelay(t, info);
    update = info.Update;
  };
  engine.StartTask(0);
  DefaultLogger().SetOnLog(nullptr);
  EXPECT_FALSE(update);
  EXPECT_FALSE(task.Exception());  // the task carries on
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "Error occurs OnCustomHook: boom");
}

TEST(ComponentTasks, ProgressGoesDirectlyToTheWorkerWithoutMainThreadDelivery) {
  Gate gate;
  gate.Let(1);
  TestTranscoder engine;
  EventLog log;
  log.Attach(engine, false);
  engine.SetTriggerEventInMainThread(false);
  engine.AddGateTask(gate);
  engine.StartTask(1);
  log.WaitBatchEnd();
  EXPECT_GT(log.Progress(), 0);
  EXPECT_EQ(log.ProgressOffMain(), log.Progress());
}

TEST(ComponentTasks, StopBeforeStartReportsEveryTaskOnceAndTheBatchCanStillEnd) {
  Gate gate;
  gate.OpenAll();
  TestTranscoder engine;
  EventLog log;
  log.Attach(engine, false);
  engine.AddGateTask(gate);
  engine.AddGateTask(gate);
  engine.Stop(true);
  log.WaitBatchEnd();
  EXPECT_EQ(log.Terminates().size(), 3u);

  // The stopped tasks cannot run again; starting them must not leave the
  // component working for ever.
  engine.StartTask(1);
  WaitUntil([&] { return engine.AllDone(); });
  // The second batch end is delivered on a thread of its own: the log must
  // outlive that delivery.
  WaitUntil([&] { return log.Terminates().size() == 4u; });
  EXPECT_EQ(log.Terminates().back().info.TaskIndex, -1);
  EXPECT_EQ(gate.Started(), 0);
  EXPECT_NO_THROW(engine.ClearTasks());
}

}  // namespace
