// Manual-reset event: stays set until Reset(); Wait() returns at once while set.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace platform {

class Event {
 public:
  explicit Event(bool initiallySet = false) : set_(initiallySet) {}

  void Set() {
    {
      std::lock_guard<std::mutex> guard(lock_);
      set_ = true;
    }
    changed_.notify_all();
  }
  void Reset() {
    std::lock_guard<std::mutex> guard(lock_);
    set_ = false;
  }
  bool IsSet() const {
    std::lock_guard<std::mutex> guard(lock_);
    return set_;
  }
  void Wait() {
    std::unique_lock<std::mutex> guard(lock_);
    changed_.wait(guard, [this] { return set_; });
  }
  // True when the event was set within the time-out.
  bool WaitFor(int milliseconds) {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, std::chrono::milliseconds(milliseconds), [this] { return set_; });
  }

 private:
  mutable std::mutex lock_;
  std::condition_variable changed_;
  bool set_;  // guarded by lock_
};

}  // namespace platform
