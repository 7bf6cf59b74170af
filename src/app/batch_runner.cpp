#include "app/batch_runner.h"

#include <QMetaObject>
#include <QPointer>

#include "app/dialog_seams.h"
#include "engine/transcoder.h"
#include "platform/outside.h"

namespace app {

BatchRunner::BatchRunner(TTranscoder& engine, JobTable& table, QWidget* window, Hooks hooks)
    : engine_(engine), table_(table), window_(window), hooks_(std::move(hooks)) {}

BatchRunner::~BatchRunner() { Detach(); }

void BatchRunner::Attach() {
  engine_.SetOnProgress([this](TCustomTranscoder*, PProgressInfo info) { HandleProgress(*info); });
  // Terminate events come from a delivery thread: their records are copied
  // and handled on the main thread in the order the engine raised them.
  QPointer<BatchRunner> self(this);
  engine_.SetOnTerminate([self](TCustomTranscoder*, const TTerminateInfo& info) {
    if (self.isNull()) return;
    QMetaObject::invokeMethod(
        self.data(), [self, info] {
          if (!self.isNull()) self->HandleTerminate(info);
        },
        Qt::QueuedConnection);
  });
}

void BatchRunner::Detach() {
  engine_.SetOnCustomHook(nullptr);
  engine_.SetOnProgress(nullptr);
  engine_.SetOnTerminate(nullptr);
}

void BatchRunner::StartOrResume() {
  if (!paused_) {
    Start();
    return;
  }
  paused_ = false;
  hooks_.ApplyControls(BatchControls::Running);
  engine_.Resume();
}

void BatchRunner::Start() {
  if (running_ || table_.Rows() == 0) return;
  stopped_ = false;
  const JobCreation::RebuildResult rebuilt = hooks_.RebuildTasks();
  if (!rebuilt.Ok) {
    Dialogs().Message(window_, MessageIcon::Warning, QStringLiteral("Quvexa"),
                      QStringLiteral("无法开始转换：文件“%1”不能再打开，请检查它是否还在原来的位置。\n\n原因：%2")
                          .arg(QString::fromStdString(rebuilt.FileName), QString::fromStdString(rebuilt.Error)));
    return;
  }
  table_.ResetForBatch();
  engine_.SetThreadPriority(TThreadPriority(hooks_.CpuUsage()));
  running_ = true;
  hooks_.ApplyControls(BatchControls::Running);
  int count = hooks_.Simultaneous() + 1;
  if (count > table_.Rows()) count = table_.Rows();
  engine_.StartTask(count);
}

void BatchRunner::Pause() {
  if (!running_ || paused_) return;
  paused_ = true;
  hooks_.ApplyControls(BatchControls::Paused);
  engine_.Pause();
  for (int row = 0; row < table_.Rows(); ++row)
    if (table_.Row(row).Status == kStatusConverting) table_.SetStatus(row, kStatusPaused);
}

void BatchRunner::Stop() {
  if (!running_) return;
  if (!Dialogs().Message(window_, MessageIcon::Information, QStringLiteral("提示信息"), kStopQuestion,
                         MessageButtons::OkCancel))
    return;
  paused_ = false;
  stopped_ = true;
  hooks_.ApplyControls(BatchControls::Running);  // with "停止" off once stopped
  engine_.Stop(true);
}

void BatchRunner::HandleProgress(const TProgressInfo& info) {
  const int row = info.TaskIndex;
  if (row < 0 || row >= table_.Rows()) return;
  if (info.TotalDuration > 0) table_.SetProgress(row, int(info.CurrentDuration * 100 / info.TotalDuration));
  table_.SetTime(row, QString::number(info.CurrentDuration / 1000000) + QStringLiteral("   (秒)"));
  table_.SetStatus(row, kStatusConverting);
}

void BatchRunner::HandleTerminate(const TTerminateInfo& info) {
  pending_.push_back(info);
  if (handling_) return;
  handling_ = true;
  while (!pending_.empty()) {
    const TTerminateInfo next = pending_.front();
    pending_.pop_front();
    if (next.TaskIndex < 0) {
      EndBatch();
      continue;
    }
    const int row = next.TaskIndex;
    if (next.Finished && row < table_.Rows()) {
      table_.SetProgress(row, 100);
      table_.SetStatus(row, kStatusDone);
    }
    if (next.Exception) {
      const QString reason = QString::fromStdString(next.ExceptionMsg);
      const QString file = row < table_.Rows() ? table_.Row(row).InputPath : QString();
      table_.SetFailureReason(row, reason);
      Dialogs().Message(window_, MessageIcon::Warning, QStringLiteral("Quvexa"),
                        QStringLiteral("文件“%1”转换失败。\n\n%2").arg(file, reason));
    }
  }
  handling_ = false;
}

void BatchRunner::EndBatch() {
  running_ = false;
  paused_ = false;
  hooks_.ApplyControls(BatchControls::Idle);
  if (stopped_) {
    for (int row = 0; row < table_.Rows(); ++row) {
      const QString& status = table_.Row(row).Status;
      if (status == kStatusConverting || status == kStatusPaused) table_.SetStatus(row, kStatusStopped);
    }
  } else {
    // A failed row keeps its status: it did not finish.
    const int selected = hooks_.SelectedRow();
    if (selected >= 0 && selected < table_.Rows() && table_.Row(selected).FailureReason.isEmpty())
      table_.SetStatus(selected, kStatusDone);
  }
  try {
    engine_.ClearTasks();
  } catch (const std::exception&) {
    // Tasks still winding down are cleared by the next start.
  }
  switch (hooks_.AfterAll()) {
    case aaPowerOff: platform::TheOutside().PowerOff(); break;
    case aaOpenFolder: platform::TheOutside().OpenWithDefaultHandler(hooks_.OutputFolder()); break;
    default: break;
  }
  emit BatchEnded();
}

}  // namespace app
