// Test doubles for the engine component: tasks that need no media files,
// held at a gate so that tests can see how many run at once, and a recorder
// of the component's events.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/task_runner.h"
#include "engine/transcoder.h"
#include "platform/main_thread.h"

namespace componenttest {

// Holds the tasks inside their loop until the test lets them through.
struct Gate {
  std::mutex lock;
  std::condition_variable changed;
  int running = 0;     // guarded by lock
  int maxRunning = 0;  // guarded by lock
  int started = 0;     // guarded by lock
  int passes = 0;      // guarded by lock: tasks that may still finish
  bool open = false;   // guarded by lock: every task may finish

  void Let(int count) {
    std::lock_guard<std::mutex> guard(lock);
    passes += count;
    changed.notify_all();
  }
  void OpenAll() {
    std::lock_guard<std::mutex> guard(lock);
    open = true;
    changed.notify_all();
  }
  int Started() {
    std::lock_guard<std::mutex> guard(lock);
    return started;
  }
  int Running() {
    std::lock_guard<std::mutex> guard(lock);
    return running;
  }
  int MaxRunning() {
    std::lock_guard<std::mutex> guard(lock);
    return maxRunning;
  }
};

// A task that loops at safe points, reporting progress, until the gate lets
// it finish or a stop is requested.
class GateTask : public TTaskRunner {
 public:
  explicit GateTask(Gate& gate, int outputs = 1) : gate_(gate), outputs_(outputs) {}
  ~GateTask() override {
    RequestStop(true);
    WaitDone();
  }

  int InputCount() const override { return 1; }
  int OutputCount() const override { return outputs_; }

  std::atomic<int64_t> reportIntervalSeen{-1};
  std::atomic<int> loops{0};
  std::atomic<bool> parked{false};
  // Called once per loop on the worker with the hook relay (when set).
  std::function<void(GateTask&)> perLoop;

 protected:
  void Transcode() override {
    reportIntervalSeen = ReportInterval.load();
    {
      std::lock_guard<std::mutex> guard(gate_.lock);
      ++gate_.started;
      ++gate_.running;
      gate_.maxRunning = std::max(gate_.maxRunning, gate_.running);
    }
    for (;;) {
      if (StopRequested()) break;
      if (Paused()) parked = true;
      SafePoint();
      ++loops;
      if (ProgressRelay) {
        TProgressInfo info;
        info.CurrentDuration = loops;
        ProgressRelay(*this, info);
      }
      if (perLoop) perLoop(*this);
      std::unique_lock<std::mutex> guard(gate_.lock);
      if (gate_.open || gate_.passes > 0) {
        if (!gate_.open) --gate_.passes;
        break;
      }
      gate_.changed.wait_for(guard, std::chrono::milliseconds(2));
    }
    std::lock_guard<std::mutex> guard(gate_.lock);
    --gate_.running;
  }
  void CloseCodecs() override {}
  void ReleaseAll() override {}

 private:
  Gate& gate_;
  int outputs_;
};

// The component with the test seams opened.
class TestTranscoder : public TTranscoder {
 public:
  using TCustomTranscoder::AppendTask;
  using TCustomTranscoder::ConnectHookRelay;

  GateTask& AddGateTask(Gate& gate, int outputs = 1) {
    auto task = std::make_unique<GateTask>(gate, outputs);
    GateTask& ref = *task;
    AppendTask(std::move(task));
    return ref;
  }
};

struct TerminateRecord {
  TTerminateInfo info;
  bool onMainThread = false;
};

// Records OnTerminate (optionally handing each call to the main thread, as
// a window's handler does) and OnProgress.
class EventLog {
 public:
  void Attach(TTranscoder& component, bool terminateOnMainThread) {
    component.SetOnTerminate([this, terminateOnMainThread](TCustomTranscoder*, const TTerminateInfo& info) {
      const bool main = platform::IsMainThread();
      if (terminateOnMainThread)
        platform::CallInMainThread([&] { Add(info, main); });
      else
        Add(info, main);
    });
    component.SetOnProgress([this](TCustomTranscoder*, PProgressInfo info) {
      std::lock_guard<std::mutex> guard(lock_);
      ++progress_;
      if (!platform::IsMainThread()) ++progressOffMain_;
      lastProgressTask_ = info->TaskIndex;
    });
  }

  std::vector<TerminateRecord> Terminates() {
    std::lock_guard<std::mutex> guard(lock_);
    return terminates_;
  }
  bool BatchEnded() {
    std::lock_guard<std::mutex> guard(lock_);
    return std::any_of(terminates_.begin(), terminates_.end(),
                       [](const TerminateRecord& r) { return r.info.TaskIndex == -1; });
  }
  int Progress() {
    std::lock_guard<std::mutex> guard(lock_);
    return progress_;
  }
  int ProgressOffMain() {
    std::lock_guard<std::mutex> guard(lock_);
    return progressOffMain_;
  }

  // Serves the main thread until the batch end arrived.
  void WaitBatchEnd() {
    platform::WaitServingMainThread([this] { return BatchEnded(); }, 2);
  }

 private:
  void Add(const TTerminateInfo& info, bool onMain) {
    std::lock_guard<std::mutex> guard(lock_);
    terminates_.push_back({info, onMain});
  }

  std::mutex lock_;
  std::vector<TerminateRecord> terminates_;  // guarded by lock_
  int progress_ = 0;                         // guarded by lock_
  int progressOffMain_ = 0;                  // guarded by lock_
  int lastProgressTask_ = -1;                // guarded by lock_
};

inline void WaitUntil(const std::function<bool()>& done) {
  platform::WaitServingMainThread(done, 2);
}

}  // namespace componenttest
