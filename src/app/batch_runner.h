// The batch: "转换" rebuilds the engine's tasks from the job slots and
// starts them (or resumes a paused batch), "暂停" pauses, "停止" stops
// after a question. The engine's progress and terminate events become the
// rows' time, progress and status; the batch end returns the window to idle
// and runs the after-all action.
#pragma once

#include <QObject>
#include <QString>
#include <deque>
#include <functional>
#include <string>

#include "app/job_creation.h"
#include "app/job_table.h"
#include "engine/engine_events.h"

class QWidget;
class TTranscoder;

namespace app {

enum class BatchControls { Running, Paused, Idle };

// "全部文件转换完毕后：" items.
enum AfterAllAction { aaNothing = 0, aaPowerOff = 1, aaOpenFolder = 2 };

inline const QString kStopQuestion = QStringLiteral("您确实要终止目前的转换工作吗？");

class BatchRunner : public QObject {
  Q_OBJECT

 public:
  struct Hooks {
    std::function<JobCreation::RebuildResult()> RebuildTasks;
    std::function<void(BatchControls)> ApplyControls;
    std::function<int()> SelectedRow;      // -1 without a selection
    std::function<int()> AfterAll;         // AfterAllAction
    std::function<int()> CpuUsage;         // 0 idle .. 3 normal
    std::function<int()> Simultaneous;     // files at once - 1
    std::function<std::string()> OutputFolder;
    std::function<void(const QString&)> ShowStatus;  // status-bar text
  };

  BatchRunner(TTranscoder& engine, JobTable& table, QWidget* window, Hooks hooks);
  ~BatchRunner() override;

  // Connects / disconnects the engine's progress and terminate events.
  void Attach();
  void Detach();

  // "转换": starts a batch, or resumes a paused one.
  void StartOrResume();
  void Pause();
  // Asks, then stops with waiting (the window keeps serving its events).
  void Stop();

  bool Paused() const { return paused_; }
  bool Stopped() const { return stopped_; }
  // From a start until the batch-end event has been handled.
  bool Running() const { return running_; }

  void HandleProgress(const TProgressInfo& info);
  void HandleTerminate(const TTerminateInfo& info);

 signals:
  void BatchEnded();

 private:
  void Start();
  void EndBatch();

  TTranscoder& engine_;
  JobTable& table_;
  QWidget* window_;
  Hooks hooks_;
  bool paused_ = false;   // PausedFlag
  bool stopped_ = false;  // StoppedFlag
  bool running_ = false;
  // Terminate records waiting for the main thread, handled one after
  // another in the engine's order even when a message box nests a loop.
  std::deque<TTerminateInfo> pending_;
  bool handling_ = false;
};

}  // namespace app
