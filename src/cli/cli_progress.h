// What the user sees of a running batch: on a terminal one bar per running
// conversion (percent, time reached, speed) kept below the lines that
// scroll past; one line per finished conversion in every case.
//
// Any thread may call it: the engine's workers report progress and task
// ends, the logger hands over library lines from wherever they arise. One
// lock keeps lines and bars whole.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>

#include "engine/engine_events.h"

namespace cli {

// Columns a UTF-8 text takes on a terminal: East Asian wide characters take
// two, everything else one (control characters none).
int DisplayWidth(std::string_view utf8);
// The text cut to at most `width` columns, never inside a character; a cut
// text ends in "...".
std::string FitToWidth(std::string_view utf8, int width);
// Text made safe and readable for a terminal: bytes that are not UTF-8 (a
// GBK file name, say) and control characters other than line ends and tabs
// become "\xNN"; a CR before a line end is dropped. UTF-8 text is unchanged.
std::string ShownText(std::string_view text);
// µs as "HH:MM:SS" (hours grow past 99); negative and unset times give
// "00:00:00".
std::string ClockText(int64_t microseconds);
// 0..100, or -1 when the total is unknown.
int ProgressPercent(int64_t current, int64_t total);

class TProgressDisplay {
 public:
  using TClock = std::function<double()>;  // seconds, monotonic

  // out takes the lines of finished conversions, err the bars (terminal
  // mode), failures and log lines. columns: the terminal's width.
  TProgressDisplay(std::ostream& out, std::ostream& err, bool terminal, int columns, TClock clock = {});

  // A conversion of the batch; taskIndex is the engine's.
  void AddJob(int taskIndex, const std::string& input, const std::string& output);
  // The batch starts now (speeds count from here for the first jobs).
  void Start();
  void Progress(const TProgressInfo& info);
  // The end of a task; the batch end (task index -1) is ignored. note: what
  // the finished line adds in brackets ("input ended at 2.3 s of 8.0 s").
  void Terminated(const TTerminateInfo& info, const std::string& note = std::string());
  // A file that never became a conversion.
  void Refused(const std::string& input, const std::string& message);
  // Any other line for standard error (log lines).
  void Message(const std::string& line);
  // Removes the bars.
  void Finish();

  int DoneCount() const;
  int FailedCount() const;
  int StoppedCount() const;

 private:
  struct TJob {
    std::string Input;
    std::string Output;
    bool Running = false;  // progress seen and not ended
    double StartClock = 0;
    int64_t Current = 0;
    int64_t Total = -1;
    double Speed = -1;  // media seconds per second at the last report; -1 unknown
  };

  // The caller holds lock_.
  std::string BarLine(const TJob& job) const;
  void EraseBars();
  void DrawBars();
  // Writes a whole line to stream with the bars kept below it.
  void WriteLine(std::ostream& stream, const std::string& line);

  std::ostream& out_;
  std::ostream& err_;
  const bool terminal_;
  const int columns_;
  TClock clock_;
  mutable std::mutex lock_;  // guards everything below and the two streams
  std::map<int, TJob> jobs_;
  int barsShown_ = 0;  // bar lines on the screen below the cursor's line
  double batchStart_ = 0;
  double lastEnd_ = 0;  // when the last task ended: the next one starts then
  int done_ = 0;
  int failed_ = 0;
  int stopped_ = 0;
};

}  // namespace cli
