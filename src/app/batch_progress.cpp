#include "app/batch_progress.h"

#include <algorithm>

namespace app {
namespace {

QString Clock(int64_t seconds) {
  return QStringLiteral("%1:%2:%3")
      .arg(seconds / 3600, 2, 10, QChar('0'))
      .arg(seconds / 60 % 60, 2, 10, QChar('0'))
      .arg(seconds % 60, 2, 10, QChar('0'));
}

}  // namespace

QString OverallProgressText(int64_t doneUs, int64_t totalUs, int64_t activeMs, int finishedRows, int rows) {
  QString text = QStringLiteral("已完成 %1/%2 个文件").arg(finishedRows).arg(rows);
  if (totalUs <= 0) return text;
  doneUs = std::clamp<int64_t>(doneUs, 0, totalUs);
  text += QStringLiteral("   总进度：%1%").arg(doneUs * 100 / totalUs);
  // A second of work is needed before the speed says anything.
  if (doneUs > 0 && activeMs >= 1000) {
    const double usPerMs = double(doneUs) / double(activeMs);
    const int64_t leftSeconds = int64_t(double(totalUs - doneUs) / usPerMs / 1000.0 + 0.5);
    text += QStringLiteral("   预计剩余时间：") + Clock(leftSeconds);
  }
  return text;
}

void BatchProgress::Start(std::vector<int64_t> durations) {
  durations_ = std::move(durations);
  reached_.assign(durations_.size(), 0);
  finished_.assign(durations_.size(), false);
  pausedMs_ = 0;
  pausedAt_ = -1;
  clock_.start();
}

void BatchProgress::Pause() {
  if (pausedAt_ < 0 && clock_.isValid()) pausedAt_ = clock_.elapsed();
}

void BatchProgress::Resume() {
  if (pausedAt_ < 0) return;
  pausedMs_ += clock_.elapsed() - pausedAt_;
  pausedAt_ = -1;
}

void BatchProgress::Reached(int row, int64_t currentUs) {
  if (row >= 0 && row < int(reached_.size())) reached_[size_t(row)] = currentUs;
}

void BatchProgress::Finished(int row) {
  if (row >= 0 && row < int(finished_.size())) finished_[size_t(row)] = true;
}

QString BatchProgress::Text() const {
  int64_t total = 0, done = 0;
  int finished = 0;
  for (size_t i = 0; i < durations_.size(); ++i) {
    if (finished_[i]) ++finished;
    if (durations_[i] <= 0) continue;
    total += durations_[i];
    done += finished_[i] ? durations_[i] : std::min(reached_[i], durations_[i]);
  }
  const int64_t now = clock_.isValid() ? clock_.elapsed() : 0;
  const int64_t active = (pausedAt_ >= 0 ? pausedAt_ : now) - pausedMs_;
  return OverallProgressText(done, total, active, finished, int(durations_.size()));
}

}  // namespace app
