#include "player/packet_queue.h"

const char kFlushPacketData[] = "FLUSH";

void MakeFlushPacket(AVPacket* pkt) {
  pkt->data = reinterpret_cast<uint8_t*>(const_cast<char*>(kFlushPacketData));
  pkt->size = 0;
  pkt->buf = nullptr;
}

bool IsFlushPacket(const AVPacket* pkt) {
  return pkt->data == reinterpret_cast<const uint8_t*>(kFlushPacketData);
}

void TPacketQueue::Init() {
  Flush();
  {
    std::lock_guard<std::mutex> guard(lock_);
    abort_ = false;
  }
  AVPacket* flush = lib::av_packet_alloc();
  if (!flush) return;
  MakeFlushPacket(flush);
  Put(flush);
  lib::av_packet_free(&flush);
}

int TPacketQueue::Put(AVPacket* pkt) {
  AVPacket* node = lib::av_packet_alloc();
  if (!node) return -1;
  if (IsFlushPacket(pkt)) {
    MakeFlushPacket(node);
  } else {
    lib::av_packet_move_ref(node, pkt);
  }
  {
    std::lock_guard<std::mutex> guard(lock_);
    packets_.push_back(node);
    size_ += node->size + kPacketNodeOverhead;
  }
  changed_.notify_one();
  return 0;
}

int TPacketQueue::Get(AVPacket* pkt, bool block) {
  std::unique_lock<std::mutex> guard(lock_);
  for (;;) {
    if (abort_) return -1;
    if (!packets_.empty()) {
      AVPacket* node = packets_.front();
      packets_.pop_front();
      size_ -= node->size + kPacketNodeOverhead;
      guard.unlock();
      lib::av_packet_unref(pkt);
      if (IsFlushPacket(node)) {
        MakeFlushPacket(pkt);
        node->data = nullptr;
      } else {
        lib::av_packet_move_ref(pkt, node);
      }
      lib::av_packet_free(&node);
      return 1;
    }
    if (!block) return 0;
    changed_.wait(guard);
  }
}

void TPacketQueue::Abort() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    abort_ = true;
  }
  changed_.notify_all();
}

bool TPacketQueue::AbortRequested() const {
  std::lock_guard<std::mutex> guard(lock_);
  return abort_;
}

void TPacketQueue::Flush() {
  std::deque<AVPacket*> old;
  {
    std::lock_guard<std::mutex> guard(lock_);
    old.swap(packets_);
    size_ = 0;
  }
  for (AVPacket* node : old) {
    if (IsFlushPacket(node)) node->data = nullptr;
    lib::av_packet_free(&node);
  }
}

void TPacketQueue::End() {
  if (!lib::av_packet_free) return;  // libraries gone: nothing can be queued
  Abort();
  Flush();
}

int TPacketQueue::Count() const {
  std::lock_guard<std::mutex> guard(lock_);
  return int(packets_.size());
}

int64_t TPacketQueue::Size() const {
  std::lock_guard<std::mutex> guard(lock_);
  return size_;
}
