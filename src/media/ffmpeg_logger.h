// TFFLogger: the one place where every log line ends up — the media
// libraries' own output (turned from printf-style partial lines into whole
// lines, per thread) and the messages of our components.
//
// Locks: the instance lock, the pending-line lock and the logger's lock_ are
// each taken alone and never held while a line is delivered.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "media/component_base.h"

enum TLogLevel : int {
  llQuiet,
  llPanic,
  llFatal,
  llError,
  llWarning,
  llInfo,
  llVerbose,
  llDebug,
};

// (ordinal - 1) * 8, and back: n / 8 truncated toward zero, plus 1, clamped.
int LogLevelToLibraryLevel(TLogLevel level);
TLogLevel LibraryLevelToLogLevel(int libraryLevel);

// Sender, thread id, level, one line without its line end.
using TLogEvent =
    std::function<void(const void* sender, uint32_t threadId, TLogLevel level, const std::string& message)>;

class TFFLogger : public TFFBaseComponent {
 public:
  // Becomes the process-wide instance; a second live instance is a
  // programming error ("Allow creating only one instance of TFFLogger.").
  TFFLogger();
  // Clears the process-wide instance, then waits (serving main-thread calls
  // when on the main thread) until no other thread is still delivering
  // through this logger.
  ~TFFLogger() override;

  TLogLevel LogLevel() const;
  // A different value is applied to the libraries at once.
  void SetLogLevel(TLogLevel level);
  // "quiet" … "debug" (any case), or a decimal library level number.
  // Throws std::invalid_argument for other text.
  void SetLogLevelByName(const std::string& name);

  // Whether OnLog runs on the main thread. A thread that logs a message of
  // our own waits for it; a library line of another thread is queued for the
  // main thread without waiting (the library may hold locks meanwhile).
  bool TriggerEventInMainThread() const { return triggerInMainThread_; }
  void SetTriggerEventInMainThread(bool value) { triggerInMainThread_ = value; }
  void SetOnLog(TLogEvent handler);

  // Installs the library callback and applies the level.
  void HookLibraryLog();
  void ApplyLogLevel();

  // A message of our own: dropped without OnLog or when more detailed than
  // LogLevel (llVerbose passes unless LogLevel is llQuiet); formatted only
  // when it passes.
  void Log(const void* sender, TLogLevel level, const std::string& text);
  void LogFmt(const void* sender, TLogLevel level, const char* format, ...)
      __attribute__((format(printf, 4, 5)));
  void LogV(const void* sender, TLogLevel level, const char* format, va_list args);

  // Entry for the libraries' log callback (also used by tests).
  static void LibraryCallback(void* context, int level, const char* format, va_list args);

 private:
  bool Passes(TLogLevel level) const;
  void Deliver(const void* sender, uint32_t threadId, TLogLevel level, const std::string& text);
  static void PostLibraryLine(uint32_t threadId, TLogLevel level, std::string text);

  friend class LoggerUse;

  // Taken alone; OnLog is copied out under it and called after it is released.
  mutable std::mutex lock_;
  TLogLevel level_;  // guarded by lock_
  TLogEvent onLog_;  // guarded by lock_
  std::atomic<bool> triggerInMainThread_{true};
  // Threads that found this logger as the instance and are still using it;
  // changed under the instance lock, waited for by the destructor.
  std::atomic<int> users_{0};
};

// The process-wide logger, created without an owner when none exists.
TFFLogger& DefaultLogger();
// The instance if one exists, else nullptr (never creates one). Only for
// the thread that owns the logger: another thread may destroy it.
TFFLogger* CurrentLogger();

// Shorthands for components: log through the default logger.
void Log(const void* sender, TLogLevel level, const std::string& text);
void LogFmt(const void* sender, TLogLevel level, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Thread identifier as the logger reports it (the kernel thread id).
uint32_t CurrentThreadId();
