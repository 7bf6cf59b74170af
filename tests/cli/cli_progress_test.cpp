#include "cli/cli_progress.h"

#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace {

using cli::TProgressDisplay;

TEST(CliProgress, TextHelpers) {
  EXPECT_EQ(cli::DisplayWidth("abc"), 3);
  EXPECT_EQ(cli::DisplayWidth("测试视频.avi"), 12);
  EXPECT_EQ(cli::FitToWidth("测试视频.avi", 12), "测试视频.avi");
  // Never cut inside a character: 7 columns leave room for 2 wide ones.
  EXPECT_EQ(cli::FitToWidth("测试视频.avi", 7), "测试...");
  EXPECT_EQ(cli::FitToWidth("abcdef", 5), "ab...");

  EXPECT_EQ(cli::ClockText(0), "00:00:00");
  EXPECT_EQ(cli::ClockText(3'723'999'999), "01:02:03");
  EXPECT_EQ(cli::ClockText(INT64_MIN), "00:00:00");
  EXPECT_EQ(cli::ClockText(int64_t(100) * 3600 * 1000000), "100:00:00");

  EXPECT_EQ(cli::ProgressPercent(5, -1), -1);
  EXPECT_EQ(cli::ProgressPercent(50, 200), 25);
  EXPECT_EQ(cli::ProgressPercent(300, 200), 100);
  EXPECT_EQ(cli::ProgressPercent(-3, 200), 0);
}

TProgressInfo Progress(int task, int64_t current, int64_t total) {
  TProgressInfo info;
  info.TaskIndex = task;
  info.CurrentDuration = current;
  info.TotalDuration = total;
  return info;
}

TTerminateInfo End(int task, bool finished, bool exception = false, std::string message = {}) {
  TTerminateInfo info;
  info.TaskIndex = task;
  info.Finished = finished;
  info.Exception = exception;
  info.ExceptionMsg = std::move(message);
  return info;
}

TEST(CliProgress, WithoutTerminalOneLinePerFinishedJob) {
  std::ostringstream out, err;
  double now = 0;
  TProgressDisplay display(out, err, false, 80, [&] { return now; });
  display.AddJob(0, "in/a.avi", "out/a.mp4");
  display.AddJob(1, "in/b.avi", "out/b.mp4");
  display.AddJob(2, "in/c.avi", "out/c.mp4");
  display.Start();
  display.Progress(Progress(0, 1'000'000, 2'000'000));
  display.Terminated(End(0, true));
  display.Terminated(End(1, false, true, "Unknown encoder 'x'"));
  display.Terminated(End(2, false));
  display.Terminated(End(-1, true));
  display.Refused("d.avi", "no such file");
  display.Finish();
  EXPECT_EQ(out.str(), "done    in/a.avi -> out/a.mp4\nstopped in/c.avi\n");
  EXPECT_EQ(err.str(), "failed  in/b.avi: Unknown encoder 'x'\nfailed  d.avi: no such file\n");
  EXPECT_EQ(display.DoneCount(), 1);
  EXPECT_EQ(display.FailedCount(), 2);
  EXPECT_EQ(display.StoppedCount(), 1);
}

TEST(CliProgress, OnATerminalBarsStayBelowTheLines) {
  std::ostringstream out, err;
  double now = 100;
  TProgressDisplay display(out, err, true, 80, [&] { return now; });
  display.AddJob(0, "/x/测试视频.avi", "/y/测试视频.mp4");
  display.AddJob(1, "/x/b.avi", "/y/b.mp4");
  display.Start();
  now = 102;
  display.Progress(Progress(0, 5'000'000, 20'000'000));
  const std::string first = err.str();
  EXPECT_NE(first.find("测试视频.avi"), std::string::npos) << first;
  EXPECT_NE(first.find(" 25% 00:00:05   2.5x\n"), std::string::npos) << first;
  EXPECT_EQ(first.find("\x1b["), std::string::npos) << "nothing to erase yet";

  now = 104;
  display.Progress(Progress(1, 1'000'000, -1));  // unknown length
  const std::string second = err.str().substr(first.size());
  EXPECT_EQ(second.rfind("\x1b[1A\x1b[J", 0), 0u) << "the one bar is erased before redrawing";
  EXPECT_NE(second.find("  ?% 00:00:01   0.2x"), std::string::npos) << second;
  // The first job's speed is the one of its own last report.
  EXPECT_NE(second.find(" 25% 00:00:05   2.5x\n"), std::string::npos) << second;

  // A finished job: bars erased, line written, the remaining bar redrawn.
  err.str("");
  display.Terminated(End(0, true));
  EXPECT_EQ(out.str(), "done    /x/测试视频.avi -> /y/测试视频.mp4\n");
  EXPECT_EQ(err.str().rfind("\x1b[2A\x1b[J", 0), 0u);
  EXPECT_EQ(err.str().find("测试视频"), std::string::npos);
  EXPECT_NE(err.str().find("b.avi"), std::string::npos);

  // Every bar line fits the width, so erasing by line count works.
  std::istringstream lines(err.str().substr(std::string("\x1b[2A\x1b[J").size()));
  std::string line;
  while (std::getline(lines, line)) EXPECT_LT(cli::DisplayWidth(line), 80) << line;

  err.str("");
  display.Finish();
  EXPECT_EQ(err.str(), "\x1b[1A\x1b[J");
}

}  // namespace
