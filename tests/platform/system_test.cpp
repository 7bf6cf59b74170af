// Paths, floating-point set-up, thread priorities and the outside world.
#include <cfenv>
#include <cstdlib>
#include <fstream>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/code_page.h"
#include "platform/cpu_load.h"
#include "platform/floating_point.h"
#include "platform/outside.h"
#include "platform/paths.h"
#include "platform/recording_outside.h"
#include "platform/system_outside.h"
#include "platform/thread_priority.h"
#include "support/temp_dir.h"

TEST(Paths, SplitAndJoinWithSlashes) {
  EXPECT_EQ(platform::WithTrailingSlash(std::string("/a/b")), "/a/b/");
  EXPECT_EQ(platform::WithTrailingSlash(std::string("/a/b/")), "/a/b/");
  EXPECT_EQ(platform::WithTrailingSlash(std::wstring(L"/视频/")), L"/视频/");
  EXPECT_EQ(platform::FolderPart(std::string("/a/b.avi")), "/a/");
  EXPECT_EQ(platform::FilePart(std::string("/a/b.avi")), "b.avi");
  EXPECT_EQ(platform::FolderPart(std::string("b.avi")), "");
  EXPECT_EQ(platform::FilePart(std::wstring(L"/a/视频.avi")), L"视频.avi");

  const std::string folder = platform::ExecutableFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_TRUE(platform::IsExistingFolder(folder));
}

TEST(Paths, ExistingFilesAndTheirSizes) {
  const std::string dir = testsupport::MakeTempSubdir("paths");
  const std::string file = dir + "/" + "视频.bin";
  {
    std::ofstream out(file, std::ios::binary);
    out << std::string(1234, 'x');
  }
  EXPECT_TRUE(platform::IsExistingFile(file));
  EXPECT_TRUE(platform::IsExistingFile(platform::Widen(file)));
  EXPECT_EQ(platform::FileSizeOnDisk(platform::Widen(file)), 1234);
  EXPECT_FALSE(platform::IsExistingFile(dir));
  EXPECT_FALSE(platform::IsExistingFile(dir + "/missing"));
  EXPECT_EQ(platform::FileSizeOnDisk(file), 1234);
  EXPECT_EQ(platform::FileSizeOnDisk(dir), -1);
  EXPECT_EQ(platform::FileSizeOnDisk(dir + "/missing"), -1);
}

TEST(FloatingPoint, SetupMasksEveryExceptionInNewThreadsAndRestores) {
  feenableexcept(FE_DIVBYZERO | FE_INVALID);
  {
    platform::FloatingPointSetup setup;
    EXPECT_TRUE(platform::AllFloatingPointExceptionsMasked());
    bool maskedInThread = false;
    std::thread t([&] { maskedInThread = platform::AllFloatingPointExceptionsMasked(); });
    t.join();
    EXPECT_TRUE(maskedInThread);
  }
  EXPECT_EQ(fegetexcept(), FE_DIVBYZERO | FE_INVALID);
  fedisableexcept(FE_ALL_EXCEPT);
}

TEST(ThreadPriority, LowersNicenessOfTheCallingThreadOnly) {
  EXPECT_EQ(platform::NicenessFor(platform::tpIdle), 19);
  EXPECT_EQ(platform::NicenessFor(platform::tpLowest), 15);
  EXPECT_EQ(platform::NicenessFor(platform::tpLower), 10);
  EXPECT_EQ(platform::NicenessFor(platform::tpNormal), 0);
  const int before = platform::CurrentThreadNiceness();
  int inThread = 0, afterHigher = 0;
  bool higherOk = false;
  std::thread t([&] {
    EXPECT_TRUE(platform::SetCurrentThreadPriority(platform::tpLower));
    inThread = platform::CurrentThreadNiceness();
    higherOk = platform::SetCurrentThreadPriority(platform::tpHighest);
    afterHigher = platform::CurrentThreadNiceness();
  });
  t.join();
  EXPECT_EQ(inThread, 10);
  EXPECT_EQ(platform::CurrentThreadNiceness(), before);
  // A raise that is not allowed is reported, and never leaves the thread
  // above normal without permission.
  if (higherOk) {
    EXPECT_LE(afterHigher, 0);
  }
}

// Threads started by a call are found by their ids and lowered from
// outside, as the engine lowers the threads a decoder starts; the caller
// keeps its own niceness, and the lowering stops at 19.
TEST(ThreadPriority, FindsAndLowersThreadsStartedMeanwhile) {
  const int own = platform::CurrentThreadNiceness();
  const std::vector<int> before = platform::ProcessThreadIds();
  EXPECT_FALSE(before.empty());
  std::mutex lock;
  std::condition_variable changed;
  bool lowered = false;
  std::atomic<int> helperId{0};
  int seen = -100;
  std::thread helper([&] {
    helperId = int(::syscall(SYS_gettid));
    std::unique_lock<std::mutex> guard(lock);
    changed.wait(guard, [&] { return lowered; });
    seen = platform::CurrentThreadNiceness();
  });
  while (helperId == 0) std::this_thread::yield();
  // Other threads may start meanwhile (a sanitizer's own): the helper is
  // among the new ones.
  const std::vector<int> fresh = platform::ThreadIdsNotIn(before);
  const bool found = std::find(fresh.begin(), fresh.end(), helperId.load()) != fresh.end();
  platform::LowerThreadsPriority({helperId}, 7);
  platform::LowerThreadsPriority({helperId}, 30);  // capped
  platform::LowerThreadsPriority({999999999}, 5);  // no such thread: nothing happens
  {
    std::lock_guard<std::mutex> guard(lock);
    lowered = true;
  }
  changed.notify_all();
  helper.join();
  EXPECT_TRUE(found);
  EXPECT_EQ(seen, 19);
  EXPECT_EQ(platform::CurrentThreadNiceness(), own);
}

TEST(ThreadPriority, MovesThreadsToTheIdleClassAndSkipsEndedOnes) {
  std::mutex lock;
  std::condition_variable changed;
  bool moved = false;
  std::atomic<int> helperId{0};
  bool helperSawItself = false;
  std::thread helper([&] {
    helperId = platform::CurrentThreadId();
    std::unique_lock<std::mutex> guard(lock);
    changed.wait(guard, [&] { return moved; });
    helperSawItself = platform::InIdleClass(platform::CurrentThreadId());
  });
  while (helperId == 0) std::this_thread::yield();
  platform::MoveThreadsToIdleClass({helperId, 999999999});  // the second does not exist
  {
    std::lock_guard<std::mutex> guard(lock);
    moved = true;
  }
  changed.notify_all();
  helper.join();
  EXPECT_TRUE(helperSawItself);
  EXPECT_FALSE(platform::InIdleClass(platform::CurrentThreadId()));
  EXPECT_EQ(platform::CurrentThreadId(), int(::syscall(SYS_gettid)));
}

// With the privilege to do so, a thread comes back from the idle class with
// the niceness it had; the question itself strands no thread.
TEST(ThreadPriority, ThreadsComeBackFromTheIdleClassWithTheirNiceness) {
  const bool can = platform::CanLeaveIdleClass();
  EXPECT_EQ(platform::CanLeaveIdleClass(), can);  // asked once
  for (int id : platform::ProcessThreadIds()) EXPECT_FALSE(platform::InIdleClass(id)) << id;
  if (!can) GTEST_SKIP() << "this process may not bring threads back from the idle class";

  int nicenessAfter = -100;
  bool idleBefore = false, idleAfter = true, cameBack = false;
  std::thread helper([&] {
    const int id = platform::CurrentThreadId();
    platform::LowerCurrentThreadPriority(10);
    const int niceness = platform::CurrentThreadNiceness();
    platform::MoveThreadsToIdleClass({id});
    idleBefore = platform::InIdleClass(id);
    cameBack = platform::MoveThreadsOutOfIdleClass({id, 999999999});  // the second does not exist
    idleAfter = platform::InIdleClass(id);
    nicenessAfter = platform::CurrentThreadNiceness() - niceness;
  });
  helper.join();
  EXPECT_TRUE(idleBefore);
  EXPECT_TRUE(cameBack);
  EXPECT_FALSE(idleAfter);
  EXPECT_EQ(nicenessAfter, 0);
}

TEST(CpuLoad, CountsBusyTicksAndLeavesThisProcessOut) {
  uint64_t ticks = 0;
  // user nice system idle iowait irq softirq steal guest guest_nice
  ASSERT_TRUE(platform::ParseBusyTicks("cpu  100 20 30 5000 70 1 2 3 40 0\ncpu0 50 10 15 2500 35 0 1 1 20 0\n", ticks));
  EXPECT_EQ(ticks, 156u);  // idle, iowait and guest (inside user) left out
  ASSERT_TRUE(platform::ParseBusyTicks("cpu  7 0 3 100\n", ticks));  // an old kernel's four columns
  EXPECT_EQ(ticks, 10u);
  EXPECT_FALSE(platform::ParseBusyTicks("cpu0 1 2 3 4\n", ticks));
  EXPECT_FALSE(platform::ParseBusyTicks("", ticks));

  platform::TCpuSample before, after;
  before.Valid = after.Valid = true;
  before.WallSeconds = 10;
  after.WallSeconds = 12;
  before.SystemBusySeconds = 100;
  after.SystemBusySeconds = 104;  // 4 s busy in 2 s ...
  before.OwnSeconds = 1;
  after.OwnSeconds = 4;  // ... 3 of them this process's
  EXPECT_DOUBLE_EQ(platform::OtherProgramsCores(before, after), 0.5);
  after.OwnSeconds = 6;  // tick rounding may count less than this process used
  EXPECT_DOUBLE_EQ(platform::OtherProgramsCores(before, after), 0.0);
  after.Valid = false;
  EXPECT_DOUBLE_EQ(platform::OtherProgramsCores(before, after), 0.0);
  after = before;  // no time passed
  EXPECT_DOUBLE_EQ(platform::OtherProgramsCores(before, after), 0.0);

  const platform::TCpuSample now = platform::SampleCpu();
  EXPECT_TRUE(now.Valid);
  EXPECT_GT(now.SystemBusySeconds, 0);
  EXPECT_GT(now.OwnSeconds, 0);
}

TEST(Outside, RecordingFakeTakesThePlaceOfTheRealOne) {
  platform::Outside* real = &platform::TheOutside();
  {
    platform::RecordingOutside fake;
    EXPECT_EQ(&platform::TheOutside(), &fake);
    fake.SetDownload("http://example.invalid/version.ini", "[Version]\nv=2\n");
    const std::string target = testsupport::TempPath("version.ini");
    EXPECT_TRUE(platform::TheOutside().OpenWithDefaultHandler("/tmp/out/"));
    EXPECT_TRUE(platform::TheOutside().DownloadToFile("http://example.invalid/version.ini", target, nullptr));
    std::string error;
    EXPECT_FALSE(platform::TheOutside().DownloadToFile("http://example.invalid/other", target, &error));
    EXPECT_FALSE(error.empty());
    fake.SetResult(false);
    EXPECT_FALSE(platform::TheOutside().PowerOff());
    EXPECT_FALSE(platform::TheOutside().PlaySoundFile("sounds/cam.wav"));
    EXPECT_EQ(fake.Calls(),
              (std::vector<std::string>{
                  "open /tmp/out/", "download http://example.invalid/version.ini " + target,
                  "download http://example.invalid/other " + target, "poweroff", "sound sounds/cam.wav"}));
    std::ifstream in(target);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "[Version]");
  }
  EXPECT_EQ(&platform::TheOutside(), real);
}

TEST(Outside, LockFileComesFromTheEnvironmentOrTheMachineFolder) {
  const char* old = std::getenv(platform::kLockFileEnvironment);
  const std::string saved = old ? old : "";
  unsetenv(platform::kLockFileEnvironment);
  EXPECT_EQ(platform::LockFilePath(), "/etc/quvexa/lock.ini");

  const std::string path = testsupport::TempPath("lock.ini");
  setenv(platform::kLockFileEnvironment, path.c_str(), 1);
  platform::SystemOutside system;
  EXPECT_FALSE(system.ReadLockFile().exists);  // no file
  { std::ofstream(path) << "[check_psp]\n"; }
  platform::LockFileEntry entry = system.ReadLockFile();
  EXPECT_TRUE(entry.exists);  // the section alone counts
  EXPECT_EQ(entry.value, "");
  { std::ofstream(path) << "[Check_PsP]\nps=abc\n"; }
  EXPECT_EQ(system.ReadLockFile().value, "abc");
  if (old)
    setenv(platform::kLockFileEnvironment, saved.c_str(), 1);
  else
    unsetenv(platform::kLockFileEnvironment);
}

TEST(Outside, DetachedProgramsReportWhetherTheyStarted) {
  EXPECT_TRUE(platform::StartDetachedProgram({"true"}));
  EXPECT_FALSE(platform::StartDetachedProgram({"/nonexistent/program"}));
  platform::SystemOutside system;
  EXPECT_FALSE(system.PlaySoundFile("x.wav"));  // no player registered
  std::string played;
  system.SetSoundPlayer([&](const std::string& f) {
    played = f;
    return true;
  });
  EXPECT_TRUE(system.PlaySoundFile("x.wav"));
  EXPECT_EQ(played, "x.wav");
}
