#include "media/ffmpeg_logger.h"

#include <cassert>
#include <cctype>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

#include "media/library_tables.h"
#include "platform/main_thread.h"

namespace {

// Current library level number: the filter the library callback applies.
// Changed only by ApplyLogLevel.
std::atomic<int> gLibraryLevel{AV_LOG_INFO};

std::mutex& InstanceLock() {
  static std::mutex* m = new std::mutex();
  return *m;
}
TFFLogger* gInstance = nullptr;  // guarded by InstanceLock()

// Unfinished library text per thread; an entry lives while its thread has
// text pending.
struct PendingLines {
  std::mutex lock;
  std::map<uint32_t, std::string> byThread;  // guarded by lock
};
PendingLines& Pending() {
  static PendingLines* p = new PendingLines();  // library threads may log until the process ends
  return *p;
}

// Formats into a 2048-byte buffer, or a larger one when the text does not fit.
std::string VFormat(const char* format, va_list args) {
  char buf[2048];
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(buf, sizeof buf, format, copy);
  va_end(copy);
  if (n < 0) return std::string();
  if (size_t(n) < sizeof buf) return std::string(buf, size_t(n));
  std::string big(size_t(n) + 1, '\0');
  va_copy(copy, args);
  std::vsnprintf(big.data(), big.size(), format, copy);
  va_end(copy);
  big.resize(size_t(n));
  return big;
}

}  // namespace

// Holds the process-wide logger for one use, so that its destructor waits
// for the use to end instead of freeing it underneath.
class LoggerUse {
 public:
  // With create, makes a logger without an owner when none exists.
  explicit LoggerUse(bool create) {
    for (;;) {
      {
        std::lock_guard<std::mutex> guard(InstanceLock());
        if (gInstance) {
          logger_ = gInstance;
          ++logger_->users_;
          return;
        }
      }
      if (!create) return;
      try {
        new TFFLogger();  // without an owner: lives until the process ends
      } catch (const std::logic_error&) {
        // Another thread created one at the same moment; use that.
      }
    }
  }
  ~LoggerUse() {
    if (logger_) --logger_->users_;
  }
  TFFLogger* get() const { return logger_; }

 private:
  TFFLogger* logger_ = nullptr;
};

uint32_t CurrentThreadId() { return uint32_t(::syscall(SYS_gettid)); }

int LogLevelToLibraryLevel(TLogLevel level) { return (int(level) - 1) * 8; }

TLogLevel LibraryLevelToLogLevel(int n) {
  const int t = n / 8 + 1;  // C++ division truncates toward zero
  if (t < 0) return llQuiet;
  if (t > int(llDebug)) return llDebug;
  return TLogLevel(t);
}

TFFLogger::TFFLogger() : level_(LibraryLevelToLogLevel(gLibraryLevel)) {
  std::lock_guard<std::mutex> guard(InstanceLock());
  if (gInstance) throw std::logic_error("Allow creating only one instance of TFFLogger.");
  gInstance = this;
}

TFFLogger::~TFFLogger() {
  {
    std::lock_guard<std::mutex> guard(InstanceLock());
    if (gInstance == this) gInstance = nullptr;
  }
  platform::WaitServingMainThread([this] { return users_.load() == 0; }, 1);
}

TFFLogger& DefaultLogger() {
  LoggerUse use(true);
  return *use.get();
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
  static const char* const kNames[] = {"quiet",   "panic", "fatal",   "error",
                                       "warning", "info",  "verbose", "debug"};
  std::string lower;
  for (char c : name) lower += char(std::tolower(static_cast<unsigned char>(c)));
  for (int i = 0; i < 8; ++i) {
    if (lower == kNames[i]) {
      SetLogLevel(TLogLevel(i));
      return;
    }
  }
  const std::string error = "'" + name + "' is not a valid integer value";
  size_t used = 0;
  long number = 0;
  try {
    number = std::stol(name, &used);
  } catch (const std::exception&) {
    throw std::invalid_argument(error);
  }
  if (used != name.size() || name.empty() || std::isspace(static_cast<unsigned char>(name[0])))
    throw std::invalid_argument(error);
  if (number < -1000) number = -1000;  // far beyond both ends of the scale
  if (number > 1000) number = 1000;
  SetLogLevel(LibraryLevelToLogLevel(int(number)));
}

void TFFLogger::SetOnLog(TLogEvent handler) {
  std::lock_guard<std::mutex> guard(lock_);
  onLog_ = std::move(handler);
}

void TFFLogger::HookLibraryLog() {
  assert(lib::av_log_set_callback && lib::av_log_set_level && "TFFLogger: utility library not bound");
  if (!lib::av_log_set_callback || !lib::av_log_set_level) return;
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
  va_list args;
  va_start(args, format);
  LogV(sender, level, format, args);
  va_end(args);
}

void TFFLogger::LogV(const void* sender, TLogLevel level, const char* format, va_list args) {
  if (!Passes(level)) return;
  Deliver(sender, CurrentThreadId(), level, VFormat(format, args));
}

// The four values travel together in one call, so no other thread's message
// can overwrite them on the way.
void TFFLogger::Deliver(const void* sender, uint32_t threadId, TLogLevel level, const std::string& text) {
  TLogEvent handler;
  {
    std::lock_guard<std::mutex> guard(lock_);
    handler = onLog_;
  }
  if (!handler) return;
  if (triggerInMainThread_)
    platform::CallInMainThread([&] { handler(sender, threadId, level, text); });
  else
    handler(sender, threadId, level, text);
}

// A library line of another thread is handed to the main thread without
// waiting: the library may log while it holds its own locks or while the
// caller holds CodecLock(), and the main thread may be waiting for either.
// The line goes to whichever logger is the instance when the main thread
// runs it, after the lines and calls queued before it.
void TFFLogger::PostLibraryLine(uint32_t threadId, TLogLevel level, std::string text) {
  platform::PostToMainThread([threadId, level, text = std::move(text)] {
    LoggerUse use(false);
    TFFLogger* logger = use.get();
    if (!logger) return;
    TLogEvent handler;
    {
      std::lock_guard<std::mutex> guard(logger->lock_);
      handler = logger->onLog_;
    }
    if (handler) handler(logger, threadId, level, text);
  });
}

void TFFLogger::LibraryCallback(void* context, int level, const char* format, va_list args) {
  if (level > gLibraryLevel) return;
  std::string prefix;
  if (context) {
    const AVClass* cls = *static_cast<AVClass**>(context);
    const char* name = cls ? (cls->item_name ? cls->item_name(context) : cls->class_name) : nullptr;
    char p[512];
    std::snprintf(p, sizeof p, "[%s @ %0*llX]", name ? name : "NULL", int(2 * sizeof(void*)),
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(context)));
    prefix = p;
  }
  const std::string message = VFormat(format, args);
  const uint32_t tid = CurrentThreadId();

  std::vector<std::string> lines;
  {
    PendingLines& pending = Pending();
    std::lock_guard<std::mutex> guard(pending.lock);
    std::string& entry = pending.byThread[tid];
    if (entry.empty())
      entry = prefix + message;  // a prefix only ever starts a line
    else
      entry += message;
    size_t nl;
    while ((nl = entry.find('\n')) != std::string::npos) {
      lines.push_back(entry.substr(0, nl));
      entry.erase(0, nl + 1);
    }
    if (entry.empty()) pending.byThread.erase(tid);
  }
  if (lines.empty()) return;
  LoggerUse use(false);
  TFFLogger* logger = use.get();
  if (!logger) return;
  const TLogLevel logLevel = LibraryLevelToLogLevel(level);
  const bool post = logger->triggerInMainThread_ && !platform::IsMainThread();
  if (post) {
    // Nobody listens now: nothing is queued (as Deliver drops it).
    std::lock_guard<std::mutex> guard(logger->lock_);
    if (!logger->onLog_) return;
  }
  for (std::string& line : lines) {
    if (post)
      PostLibraryLine(tid, logLevel, std::move(line));
    else
      logger->Deliver(logger, tid, logLevel, line);
  }
}

void Log(const void* sender, TLogLevel level, const std::string& text) {
  LoggerUse use(true);
  use.get()->Log(sender, level, text);
}

void LogFmt(const void* sender, TLogLevel level, const char* format, ...) {
  LoggerUse use(true);
  va_list args;
  va_start(args, format);
  use.get()->LogV(sender, level, format, args);
  va_end(args);
}
