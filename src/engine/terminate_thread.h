// Delivery of the engine component's terminate events. Records are queued
// in the order the component decides them (a task's own end before the
// batch end) and handed to the handler in that order, either by a
// short-lived thread of the delivery (threaded batches: OnTerminate never
// runs on the main thread) or by the thread that posted them.
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "engine/engine_events.h"

class TDoTerminateThread {
 public:
  using THandler = std::function<void(const TTerminateInfo&)>;

  explicit TDoTerminateThread(THandler handler);
  TDoTerminateThread(const TDoTerminateThread&) = delete;
  TDoTerminateThread& operator=(const TDoTerminateThread&) = delete;
  // Waits until every queued record was delivered, then joins the thread.
  // Must not run inside the handler (it would wait for itself).
  ~TDoTerminateThread();

  // Queues a record; Flush hands it over.
  void Post(const TTerminateInfo& info);
  // Delivers the queued records: on a thread of its own when ownThread,
  // otherwise in the calling thread. When a delivery is already under way,
  // the records join it and the call returns at once.
  void Flush(bool ownThread);
  // Waits (serving the main thread when called on it) until nothing is
  // queued or being delivered.
  void WaitIdle();

 private:
  void Drain();

  const THandler handler_;
  // Neither lock is held while a handler runs or a line is logged.
  std::mutex lock_;
  std::deque<TTerminateInfo> queue_;  // guarded by lock_
  bool active_ = false;               // guarded by lock_: a drain is running
  std::mutex threadLock_;             // taken after lock_ is released
  std::thread thread_;                // guarded by threadLock_
};
