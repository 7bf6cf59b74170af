#include <atomic>
#include <chrono>
#include <cstdio>
#include <latch>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "media/ffmpeg_loader.h"
#include "media/ffmpeg_logger.h"
#include "media/library_tables.h"
#include "platform/main_thread.h"
#include "support/media_libraries.h"
#include "support/watchdog.h"

namespace {

struct Line {
  const void* sender;
  uint32_t threadId;
  TLogLevel level;
  std::string text;
  bool onMainThread;
};

// A context the libraries' logging accepts: its first member is the class.
const AVClass kTesterClass = [] {
  AVClass c{};
  c.class_name = "tester";
  c.item_name = [](void*) -> const char* { return "tester"; };
  c.version = LIBAVUTIL_VERSION_INT;
  return c;
}();
struct Tester {
  const AVClass* cls = &kTesterClass;
};

std::string Prefix(const void* context) {
  char p[64];
  std::snprintf(p, sizeof p, "[tester @ %016llX]",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(context)));
  return p;
}

// The process-wide logger with a recording OnLog; level and settings are
// put back afterwards, because other tests of this program share it.
class LoggerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::LoadConverterLibraries();
    logger_ = &DefaultLogger();
    savedLevel_ = logger_->LogLevel();
    logger_->SetTriggerEventInMainThread(false);
    logger_->SetOnLog([this](const void* sender, uint32_t tid, TLogLevel level, const std::string& text) {
      std::lock_guard<std::mutex> guard(linesLock_);
      lines_.push_back({sender, tid, level, text, platform::IsMainThread()});
    });
  }
  void TearDown() override {
    logger_->SetOnLog(nullptr);
    logger_->SetTriggerEventInMainThread(true);
    logger_->SetLogLevel(savedLevel_);
  }
  std::vector<Line> Lines() {
    std::lock_guard<std::mutex> guard(linesLock_);
    return lines_;
  }
  std::vector<std::string> Texts() {
    std::vector<std::string> t;
    for (const Line& l : Lines()) t.push_back(l.text);
    return t;
  }

  TFFLogger* logger_ = nullptr;
  TLogLevel savedLevel_ = llInfo;
  std::mutex linesLock_;
  std::vector<Line> lines_;  // guarded by linesLock_
};

}  // namespace

TEST_F(LoggerTest, PartialLibraryLinesKeepTheFirstPrefix) {
  Tester first, second;
  lib::av_log(&first, AV_LOG_INFO, "abc");
  EXPECT_TRUE(Lines().empty());
  lib::av_log(&second, AV_LOG_INFO, "de%c\n", 'f');
  ASSERT_EQ(Lines().size(), 1u);
  EXPECT_EQ(Lines()[0].text, Prefix(&first) + "abcdef");
  EXPECT_EQ(Lines()[0].sender, logger_);
  EXPECT_EQ(Lines()[0].level, llInfo);
  EXPECT_EQ(Lines()[0].threadId, CurrentThreadId());
}

TEST_F(LoggerTest, NullContextLinesAndEmptyLines) {
  lib::av_log(nullptr, AV_LOG_INFO, "a\nb\n");
  lib::av_log(nullptr, AV_LOG_INFO, "\n");
  lib::av_log(nullptr, AV_LOG_INFO, "cr\r\n");
  EXPECT_EQ(Texts(), (std::vector<std::string>{"a", "b", "", "cr\r"}));
}

TEST_F(LoggerTest, TextIsCollectedWhileNobodyListens) {
  TLogEvent none;
  logger_->SetOnLog(none);
  lib::av_log(nullptr, AV_LOG_INFO, "collected ");
  SetUp();
  lib::av_log(nullptr, AV_LOG_INFO, "then completed\n");
  EXPECT_EQ(Texts(), (std::vector<std::string>{"collected then completed"}));
}

TEST_F(LoggerTest, LongMessagesAreNotCut) {
  const std::string longText(5000, 'x');
  lib::av_log(nullptr, AV_LOG_INFO, "%s\n", longText.c_str());
  EXPECT_EQ(Texts(), std::vector<std::string>{longText});
}

TEST_F(LoggerTest, InterleavedPartialLinesOfTwoThreadsStayApart) {
  Tester ctx;
  std::latch firstHalves(2), secondHalves(1);
  uint32_t ids[2] = {0, 0};
  auto worker = [&](int n, const char* word) {
    ids[n] = CurrentThreadId();
    lib::av_log(&ctx, AV_LOG_WARNING, "%s-", word);
    firstHalves.count_down();
    firstHalves.wait();
    if (n == 1) secondHalves.wait();  // thread 0 finishes its line first
    lib::av_log(nullptr, AV_LOG_WARNING, "end\n");
    if (n == 0) secondHalves.count_down();
  };
  std::thread a(worker, 0, "one"), b(worker, 1, "two");
  a.join();
  b.join();
  const std::vector<Line> lines = Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].text, Prefix(&ctx) + "one-end");
  EXPECT_EQ(lines[0].threadId, ids[0]);
  EXPECT_EQ(lines[1].text, Prefix(&ctx) + "two-end");
  EXPECT_EQ(lines[1].threadId, ids[1]);
  EXPECT_EQ(lines[1].level, llWarning);
}

TEST_F(LoggerTest, LevelFiltering) {
  logger_->SetLogLevel(llWarning);
  lib::av_log(nullptr, AV_LOG_INFO, "library info\n");
  lib::av_log(nullptr, AV_LOG_WARNING, "library warning\n");
  logger_->Log(this, llInfo, "own info");
  logger_->Log(this, llVerbose, "own verbose");
  logger_->Log(this, llDebug, "own debug");
  logger_->LogFmt(this, llError, "own %s %d", "error", 7);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"library warning", "own verbose", "own error 7"}));
  EXPECT_EQ(Lines()[1].sender, this);

  logger_->SetLogLevel(llQuiet);
  logger_->Log(this, llVerbose, "dropped when quiet");
  lib::av_log(nullptr, AV_LOG_PANIC, "library panic dropped when quiet\n");
  EXPECT_EQ(Lines().size(), 3u);
}

namespace {
int gSetLevelCalls = 0;
void CountingSetLevel(int) { ++gSetLevelCalls; }
}  // namespace

TEST_F(LoggerTest, LevelNamesNumbersAndLibraryCalls) {
  logger_->SetLogLevelByName("WARNING");
  EXPECT_EQ(logger_->LogLevel(), llWarning);
  EXPECT_EQ(lib::av_log_get_level(), AV_LOG_WARNING);
  logger_->SetLogLevelByName("40");
  EXPECT_EQ(logger_->LogLevel(), llVerbose);
  logger_->SetLogLevelByName("-16");
  EXPECT_EQ(logger_->LogLevel(), llQuiet);
  logger_->SetLogLevelByName("-7");
  EXPECT_EQ(logger_->LogLevel(), llPanic);
  logger_->SetLogLevelByName("99");
  EXPECT_EQ(logger_->LogLevel(), llDebug);
  EXPECT_THROW(logger_->SetLogLevelByName("loud"), std::invalid_argument);
  EXPECT_THROW(logger_->SetLogLevelByName("12x"), std::invalid_argument);
  EXPECT_THROW(logger_->SetLogLevelByName("99999999999999999999"), std::invalid_argument);
  EXPECT_EQ(logger_->LogLevel(), llDebug);

  auto* real = lib::av_log_set_level;
  lib::av_log_set_level = &CountingSetLevel;
  gSetLevelCalls = 0;
  logger_->SetLogLevel(llDebug);  // unchanged: the library is not called
  EXPECT_EQ(gSetLevelCalls, 0);
  logger_->SetLogLevel(llError);
  EXPECT_EQ(gSetLevelCalls, 1);
  lib::av_log_set_level = real;
  logger_->ApplyLogLevel();
}

TEST_F(LoggerTest, OnlyOneLoggerAtATime) {
  EXPECT_THROW(TFFLogger second, std::logic_error);
  EXPECT_EQ(CurrentLogger(), logger_);
}

TEST_F(LoggerTest, WorkerLinesReachTheMainThreadWhileItWaits) {
  logger_->SetTriggerEventInMainThread(true);
  std::atomic<bool> done{false};
  uint32_t workerId = 0;
  std::thread worker([&] {
    workerId = CurrentThreadId();
    Log(this, llInfo, "from the worker");
    lib::av_log(nullptr, AV_LOG_ERROR, "from the library\n");
    done = true;
  });
  platform::WaitServingMainThread([&] { return done.load(); });
  worker.join();
  // The library line was queued without waiting: it may still be there.
  platform::RunPendingMainThreadCalls();
  const std::vector<Line> lines = Lines();
  ASSERT_EQ(lines.size(), 2u);
  for (const Line& l : lines) {
    EXPECT_TRUE(l.onMainThread) << l.text;
    EXPECT_EQ(l.threadId, workerId);
  }
  EXPECT_EQ(lines[1].level, llError);
}

// The libraries log while their caller holds CodecLock() (opening an encoder
// prints its settings). Meanwhile the main thread may be waiting for that
// lock, so the line must not wait for the main thread.
TEST_F(LoggerTest, LibraryLinesUnderTheCodecLockDoNotWaitForTheMainThread) {
  logger_->SetTriggerEventInMainThread(true);
  std::atomic<bool> locked{false};
  std::thread worker([&] {
    std::lock_guard<std::mutex> guard(CodecLock());
    locked = true;
    lib::av_log(nullptr, AV_LOG_ERROR, "logged while opening a codec\n");
  });
  while (!locked) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  {
    testsupport::Watchdog watchdog("main thread waiting for the codec lock", 60);
    std::lock_guard<std::mutex> guard(CodecLock());  // does not serve the queue
  }
  worker.join();
  EXPECT_TRUE(Lines().empty());  // queued, not yet delivered
  platform::RunPendingMainThreadCalls();
  const std::vector<Line> lines = Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].text, "logged while opening a codec");
  EXPECT_TRUE(lines[0].onMainThread);
  EXPECT_EQ(lines[0].sender, logger_);
}

TEST(LogLevels, ConversionBetweenScales) {
  EXPECT_EQ(LogLevelToLibraryLevel(llQuiet), -8);
  EXPECT_EQ(LogLevelToLibraryLevel(llDebug), 48);
  EXPECT_EQ(LibraryLevelToLogLevel(-8), llQuiet);
  EXPECT_EQ(LibraryLevelToLogLevel(-9), llQuiet);
  EXPECT_EQ(LibraryLevelToLogLevel(-1), llPanic);
  EXPECT_EQ(LibraryLevelToLogLevel(7), llPanic);
  EXPECT_EQ(LibraryLevelToLogLevel(8), llFatal);
  EXPECT_EQ(LibraryLevelToLogLevel(39), llInfo);
  EXPECT_EQ(LibraryLevelToLogLevel(56), llDebug);
}

// Destroying the logger while another thread is inside a delivery must wait
// for that delivery instead of freeing the logger underneath it.
TEST(LoggerLifetime, DestructionWaitsForAThreadThatIsDelivering) {
  testsupport::LoadConverterLibraries();
  delete CurrentLogger();  // the unowned default one; a later DefaultLogger() makes another
  auto logger = std::make_unique<TFFLogger>();
  logger->SetTriggerEventInMainThread(false);
  std::atomic<bool> inHandler{false}, released{false};
  logger->SetOnLog([&](const void*, uint32_t, TLogLevel, const std::string&) {
    inHandler = true;
    while (!released) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  std::thread worker([] { lib::av_log(nullptr, AV_LOG_ERROR, "late line\n"); });
  while (!inHandler) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::thread releaser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    released = true;
  });
  logger.reset();
  EXPECT_TRUE(released.load());
  EXPECT_EQ(CurrentLogger(), nullptr);
  worker.join();
  releaser.join();
  EXPECT_NE(&DefaultLogger(), nullptr);
}
