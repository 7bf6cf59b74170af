// A first-in first-out list of packets between the read thread (the one
// producer) and one decoder (the one consumer).
//
// Every queue begins life holding the flush packet: a packet whose data
// pointer is the address of kFlushPacketData. Only that identity matters;
// a decoder that takes it flushes its codec instead of decoding. The
// flush packet owns nothing, so av_packet_unref() on it is harmless.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

#include "media/library_tables.h"

// The bookkeeping cost of one queued packet, counted into Size().
inline constexpr int kPacketNodeOverhead = 72;

extern const char kFlushPacketData[];
// Makes pkt (unreferenced) the flush packet.
void MakeFlushPacket(AVPacket* pkt);
bool IsFlushPacket(const AVPacket* pkt);

class TPacketQueue {
 public:
  TPacketQueue() = default;
  TPacketQueue(const TPacketQueue&) = delete;
  TPacketQueue& operator=(const TPacketQueue&) = delete;
  ~TPacketQueue() { End(); }

  // Empties the queue, clears the abort request and puts the flush packet.
  void Init();
  // Takes over pkt's reference (pkt is left blank). The flush packet is
  // queued as it is. Returns -1 when no memory is left.
  int Put(AVPacket* pkt);
  // -1 when aborted; 1 with the first packet moved into pkt; 0 when empty
  // and block is false. With block true waits for a packet or the abort.
  int Get(AVPacket* pkt, bool block);
  // Sets the abort request and wakes every waiter.
  void Abort();
  bool AbortRequested() const;
  // Frees every queued packet.
  void Flush();
  // Flush; the queue stays aborted so that late callers return at once.
  void End();

  int Count() const;
  // Sum of data sizes plus kPacketNodeOverhead per packet.
  int64_t Size() const;

 private:
  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::deque<AVPacket*> packets_;  // guarded by lock_
  int64_t size_ = 0;               // guarded by lock_
  bool abort_ = false;             // guarded by lock_
};
