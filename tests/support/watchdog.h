// Ends the test program when a step does not finish in time, so that a
// dead-lock fails the test with a message instead of hanging the test run.
//
//   testsupport::Watchdog watchdog("batch with a failing second task", 60);
//   ... the step that used to hang ...
//   (leaving the scope disarms it)
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace testsupport {

class Watchdog {
 public:
  Watchdog(std::string what, int seconds) : what_(std::move(what)) {
    thread_ = std::thread([this, seconds] {
      std::unique_lock<std::mutex> guard(lock_);
      if (changed_.wait_for(guard, std::chrono::seconds(seconds), [this] { return disarmed_; })) return;
      // A hung thread cannot be unwound: report and end the program.
      std::fprintf(stderr, "FAILED: dead-lock: '%s' did not finish within %d s\n", what_.c_str(), seconds);
      std::fflush(stderr);
      std::_Exit(3);
    });
  }
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> guard(lock_);
      disarmed_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

 private:
  const std::string what_;
  std::mutex lock_;
  std::condition_variable changed_;
  bool disarmed_ = false;  // guarded by lock_
  std::thread thread_;
};

}  // namespace testsupport
