// The whole batch's progress for the status bar: media time converted
// against the media time of all rows, and the time left at the speed
// measured so far (paused time not counted).
#pragma once

#include <cstdint>
#include <vector>

#include <QElapsedTimer>
#include <QString>

namespace app {

// "总进度：45%   预计剩余时间：00:01:23"; without a known total only the
// row count; without a measured speed no time left.
QString OverallProgressText(int64_t doneUs, int64_t totalUs, int64_t activeMs, int finishedRows, int rows);

class BatchProgress {
 public:
  // A new batch of rows with these input durations (µs, ≤ 0 unknown).
  void Start(std::vector<int64_t> durations);
  void Pause();
  void Resume();
  void Reached(int row, int64_t currentUs);
  void Finished(int row);
  QString Text() const;

 private:
  std::vector<int64_t> durations_;
  std::vector<int64_t> reached_;
  std::vector<bool> finished_;
  QElapsedTimer clock_;
  int64_t pausedMs_ = 0;
  int64_t pausedAt_ = -1;
};

}  // namespace app
