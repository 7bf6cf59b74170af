#include "media/ffmpeg_logger.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cassert>
#include <cctype>
#include <cstdio>
#include <atomic>
#include <map>
#include <vector>
#include <stdexcept>

#include "media/library_tables.h"
#include "platform/main_thread.h"

namespace {

// Current library level number: the filter the library callback applies.
std::atomic<int> gLibraryLevel{AV_LOG_INFO};

std::mutex& InstanceLock() {
  static std::mutex* m = new std::mutex();
  return *m;
}
TFFLogger* gInstance = nullptr;  // guarded by InstanceLock()

// Unfinished library text per thread.
struct PendingLines {
  std::mutex lock;
  std::map<uint32_t, std::string> byThread;  // guarded by lock
};
PendingLines& Pending() {
  static PendingLines* p = new PendingLines();
  return *p;
}

std::string VFormat(const char* format, va_list args) {
  char buf[2048];
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(buf, sizeof buf, format, copy);
  va_end(copy);
  if (n < 0) return std::string();
  if (size_t(n) < sizeof buf) return std::string(buf, size_t(n));
  std::string big(size_t(n) + 1, '\0');
  std::vsnprintf(big.data(), big.size(), format, args);
  big.resize(size_t(n));
  return big;
}

}  // namespace

uint32_t CurrentThreadId() { return uint32_t(::syscall(SYS_gettid)); }

int LogLevelToLibraryLevel(TLogLevel level) { return (int(level) - 1) * 8; }

TLogLevel LibraryLevelToLogLevel(int n) {
  int t = n / 8 + 1;
  if (n < 0 && n / 8 == 0) t = 1;  // -7…-1 truncate to 0 → llPanic
  if (n <= -8) t = 0;
  if (t < 0) t = 0;
  if (t > 7) t = 7;
  return TLogLevel(t);
}

TFFLogger::TFFLogger() : level_(LibraryLevelToLogLevel(gLibraryLevel)) {
  std::lock_guard<std::mutex> guard(InstanceLock());
  if (gInstance) throw std::logic_error("Allow creating only one instance of TFFLogger.");
  gInstance = this;
}

TFFLogger::~TFFLogger() {
  std::lock_guard<std::mutex> guard(InstanceLock());
  if (gInstance == this) gInstance = nullptr;
}

TFFLogger& DefaultLogger() {
  {
    std::lock_guard<std::mutex> guard(InstanceLock());
    if (gInstance) return *gInstance;
  }
  // Without an owner: lives until the process ends.
  return *new TFFLogger();
}

TFFLogger* CurrentLogger() {
  std::lock_guard<std::mutex> guard(InstanceLock());
  return gInstance;
}

TLogLevel TFFLogger::LogLevel() const {
  std::lock_guard<std::mutex> guard(lock_);
  return level_;
}

void TFFLogger::SetLogLevel(TLogLevel level) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (level == level_) return;
    level_ = level;
  }
  ApplyLogLevel();
}

void TFFLogger::SetLogLevelByName(const std::string& name) {
  static const char* const kNames[] = {"quiet", "panic", "fatal", "error", "warning", "info", "verbose", "debug"};
  std::string lower;
  for (char c : name) lower += char(std::tolower(static_cast<unsigned char>(c)));
  for (int i = 0; i < 8; ++i) {
    if (lower == kNames[i]) {
      SetLogLevel(TLogLevel(i));
      return;
    }
  }
  size_t used = 0;
  int number = std::stoi(name, &used);  // throws std::invalid_argument / out_of_range
  if (used != name.size()) throw std::invalid_argument("'" + name + "' is not a valid integer value");
  SetLogLevel(LibraryLevelToLogLevel(number));
}

void TFFLogger::SetOnLog(TLogEvent handler) {
  std::lock_guard<std::mutex> guard(lock_);
  onLog_ = std::move(handler);
}

void TFFLogger::HookLibraryLog() {
  assert(lib::av_log_set_callback && lib::av_log_set_level);
  lib::av_log_set_callback(&TFFLogger::LibraryCallback);
  ApplyLogLevel();
}

void TFFLogger::ApplyLogLevel() {
  if (!lib::av_log_set_level) return;
  int n = LogLevelToLibraryLevel(LogLevel());
  gLibraryLevel = n;
  lib::av_log_set_level(n);
}

bool TFFLogger::Passes(TLogLevel level) const {
  std::lock_guard<std::mutex> guard(lock_);
  if (!onLog_) return false;
  if (level == llVerbose) return level_ != llQuiet;
  return level <= level_;
}

void TFFLogger::Log(const void* sender, TLogLevel level, const std::string& text) {
  if (!Passes(level)) return;
  Deliver(sender, CurrentThreadId(), level, text);
}

void TFFLogger::LogFmt(const void* sender, TLogLevel level, const char* format, ...) {
  if (!Passes(level)) return;
  va_list args;
  va_start(args, format);
  std::string text = VFormat(format, args);
  va_end(args);
  Deliver(sender, CurrentThreadId(), level, text);
}

void TFFLogger::Deliver(const void* sender, uint32_t threadId, TLogLevel level, const std::string& text) {
  TLogEvent handler;
  {
    std::lock_guard<std::mutex> guard(lock_);
    handler = onLog_;
  }
  if (!handler) return;
  if (TriggerEventInMainThread)
    platform::CallInMainThread([&] { handler(sender, threadId, level, text); });
  else
    handler(sender, threadId, level, text);
}

void TFFLogger::LibraryCallback(void* context, int level, const char* format, va_list args) {
  if (level > gLibraryLevel) return;
  std::string prefix;
  if (context) {
    AVClass* cls = *static_cast<AVClass**>(context);
    if (cls && cls->item_name) {
      char p[512];
      std::snprintf(p, sizeof p, "[%s @ %0*llX]", cls->item_name(context), int(2 * sizeof(void*)),
                    static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(context)));
      prefix = p;
    }
  }
  std::string message = VFormat(format, args);
  const uint32_t tid = CurrentThreadId();

  std::vector<std::string> lines;
  {
    PendingLines& pending = Pending();
    std::lock_guard<std::mutex> guard(pending.lock);
    std::string& entry = pending.byThread[tid];
    if (entry.empty())
      entry = prefix + message;
    else
      entry += message;
    size_t nl;
    while ((nl = entry.find('\n')) != std::string::npos) {
      lines.push_back(entry.substr(0, nl));
      entry.erase(0, nl + 1);
    }
  }
  if (lines.empty()) return;
  TFFLogger* logger = CurrentLogger();
  if (!logger) return;
  TLogLevel logLevel = LibraryLevelToLogLevel(level);
  for (const std::string& line : lines) logger->Deliver(logger, tid, logLevel, line);
}

void Log(const void* sender, TLogLevel level, const std::string& text) {
  DefaultLogger().Log(sender, level, text);
}

void LogFmt(const void* sender, TLogLevel level, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = VFormat(format, args);
  va_end(args);
  DefaultLogger().Log(sender, level, text);
}
