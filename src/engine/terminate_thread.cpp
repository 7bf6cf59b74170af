#include "engine/terminate_thread.h"

#include <chrono>
#include <exception>
#include <system_error>

#include "media/ffmpeg_logger.h"
#include "platform/main_thread.h"

TDoTerminateThread::TDoTerminateThread(THandler handler) : handler_(std::move(handler)) {}

TDoTerminateThread::~TDoTerminateThread() {
  WaitIdle();
  std::lock_guard<std::mutex> guard(threadLock_);
  if (thread_.joinable()) thread_.join();
}

void TDoTerminateThread::Post(const TTerminateInfo& info) {
  std::lock_guard<std::mutex> guard(lock_);
  queue_.push_back(info);
}

void TDoTerminateThread::Flush(bool ownThread) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (active_ || queue_.empty()) return;
    active_ = true;
  }
  if (!ownThread) {
    Drain();
    return;
  }
  std::string failure;
  {
    std::lock_guard<std::mutex> guard(threadLock_);
    // The previous delivery thread has cleared active_ and is returning.
    if (thread_.joinable()) thread_.join();
    try {
      thread_ = std::thread([this] { Drain(); });
      return;
    } catch (const std::system_error& e) {
      failure = e.what();
    }
  }
  // No thread: deliver here, after the lock is released (the log line and
  // the handlers may wait for the main thread).
  Log(this, llError, "Cannot start the terminate thread: " + failure);
  Drain();
}

void TDoTerminateThread::Drain() {
  for (;;) {
    TTerminateInfo info;
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (queue_.empty()) {
        active_ = false;
        return;
      }
      info = std::move(queue_.front());
      queue_.pop_front();
    }
    try {
      handler_(info);
    } catch (const std::exception& e) {
      Log(this, llError, std::string("Error occurs OnTerminate: ") + e.what());
    } catch (...) {
      Log(this, llError, "Error occurs OnTerminate");
    }
  }
}

void TDoTerminateThread::WaitIdle() {
  auto idle = [this] {
    std::lock_guard<std::mutex> guard(lock_);
    return !active_ && queue_.empty();
  };
  if (platform::IsMainThread())
    platform::WaitServingMainThread(idle, 5);
  else
    while (!idle()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
}
