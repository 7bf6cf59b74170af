#include "cli/cli_progress.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "profiles/file_names.h"

namespace cli {
namespace {

// Decodes one UTF-8 character at text[i]; advances i. Invalid bytes count
// as one character each.
char32_t NextCodePoint(std::string_view text, size_t& i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char first = byte(i);
  int length = first < 0x80           ? 1
               : (first >> 5) == 0x6  ? 2
               : (first >> 4) == 0xE  ? 3
               : (first >> 3) == 0x1E ? 4
                                      : 0;
  if (length == 0 || i + length > text.size()) {
    ++i;
    return 0xFFFD;
  }
  char32_t cp = length == 1 ? first : first & (0xFF >> (length + 1));
  for (int k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  i += length;
  return cp;
}

// Length of the valid UTF-8 character at text[i], 0 when it is none
// (overlong forms, surrogates and values beyond Unicode included).
size_t ValidUtf8Length(std::string_view text, size_t i, char32_t& cp) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char first = byte(i);
  const size_t length = first < 0x80           ? 1
                        : (first >> 5) == 0x6  ? 2
                        : (first >> 4) == 0xE  ? 3
                        : (first >> 3) == 0x1E ? 4
                                               : 0;
  if (length == 0 || i + length > text.size()) return 0;
  cp = length == 1 ? first : first & (0xFF >> (length + 1));
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  static const char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return length;
}

int CodePointWidth(char32_t cp) {
  if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0)) return 0;
  if ((cp >= 0x300 && cp <= 0x36F) || cp == 0x200B) return 0;  // combining marks, zero-width space
  const bool wide =
      (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0x303E) || (cp >= 0x3041 && cp <= 0x33FF) ||
      (cp >= 0x3400 && cp <= 0x4DBF) || (cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0xA000 && cp <= 0xA4CF) ||
      (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0xFE30 && cp <= 0xFE4F) ||
      (cp >= 0xFF00 && cp <= 0xFF60) || (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x1F300 && cp <= 0x1F64F) ||
      (cp >= 0x20000 && cp <= 0x3FFFD);
  return wide ? 2 : 1;
}

double SteadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Columns of the bar between its brackets, and of the text after it:
// " 100% 00:00:00 999.9x".
constexpr int kTailWidth = 21;
constexpr int kMinBarWidth = 10;
constexpr int kMaxNameWidth = 40;

}  // namespace

int DisplayWidth(std::string_view utf8) {
  int width = 0;
  for (size_t i = 0; i < utf8.size();) width += CodePointWidth(NextCodePoint(utf8, i));
  return width;
}

std::string FitToWidth(std::string_view utf8, int width) {
  if (DisplayWidth(utf8) <= width) return std::string(utf8);
  const int room = std::max(0, width - 3);
  int used = 0;
  size_t end = 0;
  for (size_t i = 0; i < utf8.size();) {
    const int w = CodePointWidth(NextCodePoint(utf8, i));
    if (used + w > room) break;
    used += w;
    end = i;
  }
  return std::string(utf8.substr(0, end)) + std::string("...").substr(0, std::min(3, width));
}

std::string ShownText(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    char32_t cp = 0;
    const size_t length = ValidUtf8Length(text, i, cp);
    const bool control = length > 0 && (cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp < 0xA0));
    if (length > 0 && (!control || cp == '\n' || cp == '\t')) {
      shown.append(text.substr(i, length));
      i += length;
      continue;
    }
    if (length == 1 && cp == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      ++i;
      continue;
    }
    // One escaped byte at a time: a broken sequence shows all its bytes.
    const size_t count = length > 0 ? length : 1;
    for (size_t k = 0; k < count; ++k) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X",
                    static_cast<unsigned>(static_cast<unsigned char>(text[i + k])));
      shown += escaped;
    }
    i += count;
  }
  return shown;
}

std::string ClockText(int64_t microseconds) {
  const int64_t seconds = microseconds > 0 ? microseconds / 1000000 : 0;
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  return text;
}

int ProgressPercent(int64_t current, int64_t total) {
  if (total <= 0) return -1;
  if (current <= 0) return 0;
  if (current >= total) return 100;
  return static_cast<int>(static_cast<double>(current) * 100.0 / static_cast<double>(total));
}

TProgressDisplay::TProgressDisplay(std::ostream& out, std::ostream& err, bool terminal, int columns,
                                   TClock clock)
    : out_(out),
      err_(err),
      terminal_(terminal),
      columns_(std::max(columns, 40)),
      clock_(clock ? std::move(clock) : TClock(SteadySeconds)) {
  batchStart_ = lastEnd_ = clock_();
}

void TProgressDisplay::AddJob(int taskIndex, const std::string& input, const std::string& output) {
  std::lock_guard<std::mutex> guard(lock_);
  TJob& job = jobs_[taskIndex];
  job.Input = input;
  job.Output = output;
}

void TProgressDisplay::Start() {
  std::lock_guard<std::mutex> guard(lock_);
  batchStart_ = lastEnd_ = clock_();
}

void TProgressDisplay::Progress(const TProgressInfo& info) {
  std::lock_guard<std::mutex> guard(lock_);
  const auto found = jobs_.find(info.TaskIndex);
  if (found == jobs_.end()) return;
  TJob& job = found->second;
  if (!job.Running) {
    job.Running = true;
    job.StartClock = std::max(batchStart_, lastEnd_);
  }
  job.Current = info.CurrentDuration;
  job.Total = info.TotalDuration;
  // Measured here, not when drawing: other jobs redraw the bars between
  // this job's reports.
  const double elapsed = clock_() - job.StartClock;
  job.Speed = elapsed > 0.2 && job.Current > 0 ? static_cast<double>(job.Current) / 1e6 / elapsed : -1;
  if (!terminal_) return;
  EraseBars();
  DrawBars();
}

void TProgressDisplay::Terminated(const TTerminateInfo& info, const std::string& note) {
  std::lock_guard<std::mutex> guard(lock_);
  if (info.TaskIndex < 0) return;
  const auto found = jobs_.find(info.TaskIndex);
  if (found == jobs_.end()) return;
  TJob& job = found->second;
  job.Running = false;
  lastEnd_ = clock_();
  if (info.Exception) {
    ++failed_;
    WriteLine(err_, "failed  " + job.Input + ": " + info.ExceptionMsg);
  } else if (info.Finished) {
    ++done_;
    WriteLine(out_, "done    " + job.Input + " -> " + job.Output + (note.empty() ? "" : " (" + note + ")"));
  } else {
    ++stopped_;
    WriteLine(out_, "stopped " + job.Input);
  }
}

void TProgressDisplay::Refused(const std::string& input, const std::string& message) {
  std::lock_guard<std::mutex> guard(lock_);
  ++failed_;
  WriteLine(err_, "failed  " + input + ": " + message);
}

void TProgressDisplay::Message(const std::string& line) {
  std::lock_guard<std::mutex> guard(lock_);
  WriteLine(err_, line);
}

void TProgressDisplay::Finish() {
  std::lock_guard<std::mutex> guard(lock_);
  for (auto& [index, job] : jobs_) job.Running = false;
  EraseBars();
}

int TProgressDisplay::DoneCount() const {
  std::lock_guard<std::mutex> guard(lock_);
  return done_;
}

int TProgressDisplay::FailedCount() const {
  std::lock_guard<std::mutex> guard(lock_);
  return failed_;
}

int TProgressDisplay::StoppedCount() const {
  std::lock_guard<std::mutex> guard(lock_);
  return stopped_;
}

std::string TProgressDisplay::BarLine(const TJob& job) const {
  const int nameWidth = std::min(kMaxNameWidth, columns_ / 3);
  const int barWidth = std::max(kMinBarWidth, columns_ - 1 - nameWidth - 3 - kTailWidth);
  std::string name = FitToWidth(ShownText(profiles::ExtractFileName(job.Input)), nameWidth);
  name.append(static_cast<size_t>(nameWidth - DisplayWidth(name)), ' ');

  const int percent = ProgressPercent(job.Current, job.Total);
  const int filled = percent < 0 ? 0 : barWidth * percent / 100;
  std::string bar(static_cast<size_t>(filled), '#');
  bar.append(static_cast<size_t>(barWidth - filled), '-');

  char percentText[16];
  if (percent < 0)
    std::snprintf(percentText, sizeof percentText, "  ?%%");
  else
    std::snprintf(percentText, sizeof percentText, "%3d%%", percent);
  char speedText[16] = "    --";
  if (job.Speed >= 0) std::snprintf(speedText, sizeof speedText, "%5.1fx", std::min(999.9, job.Speed));
  return name + " [" + bar + "] " + percentText + " " + ClockText(job.Current) + " " + speedText;
}

void TProgressDisplay::EraseBars() {
  if (barsShown_ == 0) return;
  err_ << "\x1b[" << barsShown_ << "A\x1b[J";
  err_.flush();
  barsShown_ = 0;
}

void TProgressDisplay::DrawBars() {
  for (const auto& [index, job] : jobs_) {
    if (!job.Running) continue;
    err_ << FitToWidth(BarLine(job), columns_ - 1) << "\n";
    ++barsShown_;
  }
  err_.flush();
}

void TProgressDisplay::WriteLine(std::ostream& stream, const std::string& line) {
  if (terminal_) EraseBars();
  stream << ShownText(line) << "\n";
  stream.flush();
  if (terminal_) DrawBars();
}

}  // namespace cli
