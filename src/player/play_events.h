// Requests to the play thread (allocate picture, refresh, quit, reopen the
// surface). SDL's own event queue is process-wide and its window events
// belong to the thread that made the window, so the player keeps its
// requests in a queue of its own and pumps SDL's window events on the play
// thread between them.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

struct TPlayEvent {
  int code = 0;
  const void* playback = nullptr;  // the playback the request is for
};

class TPlayEvents {
 public:
  void Post(int code, const void* playback) {
    {
      std::lock_guard<std::mutex> guard(lock_);
      queue_.push_back({code, playback});
    }
    changed_.notify_one();
  }
  // The oldest request, waiting up to timeoutMs; false when none came.
  bool Wait(TPlayEvent& event, int timeoutMs) {
    std::unique_lock<std::mutex> guard(lock_);
    if (!changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [this] { return !queue_.empty(); }))
      return false;
    event = queue_.front();
    queue_.pop_front();
    return true;
  }
  void Clear() {
    std::lock_guard<std::mutex> guard(lock_);
    queue_.clear();
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  std::deque<TPlayEvent> queue_;  // guarded by lock_
};
