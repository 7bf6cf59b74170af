// One encoder of an overlapped run on a thread of its own. The output side
// prepares frames (synchronised, scaled, resampled) and hands them over; the
// worker only sends them to the encoder and takes the packets out, so the
// encoder is fed again the moment it can take a frame, while the output
// side prepares the next one and the other streams' encoders work beside
// it. The packets go back to the output side, which counts and writes them
// in the order the encoder made them: the muxer stays on one thread.
//
// Threads: Submit and Collect are called by the output side only; the
// worker thread alone touches the encoder context (and the stream's
// first-pass statistics file) while it runs.
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/transcode_types.h"

class TEncoderWorker {
 public:
  // Starts the thread for the open encoder of `ost`; throws std::system_error
  // when no thread can be made.
  explicit TEncoderWorker(TOutputStream& ost);
  TEncoderWorker(const TEncoderWorker&) = delete;
  TEncoderWorker& operator=(const TEncoderWorker&) = delete;
  ~TEncoderWorker();  // Close, then join

  // Hands a frame over (taking it), or the end of the stream (nullptr), and
  // waits while the worker has its fill. Rethrows the worker's failure.
  void Submit(AVFrame* frame);
  // Moves the packets made so far into `packets` (the caller frees them).
  // With untilDrained it first waits until the encoder gave up everything
  // after the end. Rethrows the worker's failure.
  void Collect(std::vector<AVPacket*>& packets, bool untilDrained);
  // The worker leaves its loop; frames and packets not taken are freed.
  void Close();
  // The kernel id of the worker's thread (known once the constructor returned).
  int ThreadId() const { return threadId_; }

 private:
  void Run();
  void Encode(AVFrame* frame);  // on the worker; nullptr = drain
  void Fail();                  // on the worker, inside a catch
  void RethrowFailure();        // under lock_

  TOutputStream& ost_;
  const size_t capacity_;  // frames waiting, from the queue bounds
  std::mutex lock_;
  std::condition_variable changed_;
  std::deque<AVFrame*> frames_;   // guarded by lock_; nullptr = end
  std::deque<AVPacket*> packets_; // guarded by lock_
  bool drained_ = false;          // guarded by lock_
  bool closed_ = false;           // guarded by lock_
  std::exception_ptr failure_;    // guarded by lock_
  int threadId_ = 0;              // guarded by lock_ until the constructor returned
  std::thread thread_;
};
