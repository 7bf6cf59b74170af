// The queue between the reading and the output side of a run, and the
// ownership of what travels through it.
#include "engine/stage_pipeline.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "engine/custom_ffmpeg.h"
#include "media/library_tables.h"

int EncoderQueuePictures(const AVCodecContext* enc) {
  const int bytes = lib::av_image_get_buffer_size(enc->pix_fmt, enc->width, enc->height, 1);
  if (bytes <= 0) return kEncoderQueueMinPictures;
  return std::clamp(kEncoderQueueBytes / bytes, kEncoderQueueMinPictures, kEncoderQueueMaxPictures);
}

TStageItem OwnedStageItem(const TStageItem& borrowed, AVSubtitle* subtitle) {
  TStageItem item = borrowed;
  item.Frame = nullptr;
  item.Packet = nullptr;
  item.Subtitle = AVSubtitle{};
  if (borrowed.Frame && !(item.Frame = lib::av_frame_clone(borrowed.Frame)))
    throw FFmpegException("av_frame_alloc failed");
  if (borrowed.Packet && !(item.Packet = lib::av_packet_clone(borrowed.Packet))) {
    FreeStageItem(item);
    throw FFmpegException("av_packet_alloc failed");
  }
  if (subtitle) {
    item.Subtitle = *subtitle;
    *subtitle = AVSubtitle{};
  }
  return item;
}

void FreeStageItem(TStageItem& item) {
  if (item.Frame) lib::av_frame_free(&item.Frame);
  if (item.Packet) lib::av_packet_free(&item.Packet);
  if (item.Kind == TStageKind::Subtitle) lib::avsubtitle_free(&item.Subtitle);
  item.Error = nullptr;
}

TStageQueue::~TStageQueue() { Close(); }

bool TStageQueue::FullFor(TStageKind kind) const {
  return int(items_.size()) >= kStageQueueItems ||
         (kind == TStageKind::Picture && pictures_ >= kStageQueuePictures);
}

bool TStageQueue::Push(TStageItem item) {
  {
    std::unique_lock<std::mutex> guard(lock_);
    popped_.wait(guard, [&] { return closed_ || !FullFor(item.Kind); });
    if (!closed_) {
      if (item.Kind == TStageKind::Picture) ++pictures_;
      items_.push_back(std::move(item));
      guard.unlock();
      pushed_.notify_one();
      return true;
    }
  }
  FreeStageItem(item);
  return false;
}

bool TStageQueue::Pop(TStageItem& item) {
  {
    std::unique_lock<std::mutex> guard(lock_);
    pushed_.wait(guard, [&] { return closed_ || !items_.empty(); });
    if (closed_) return false;
    TakeFront(item);
  }
  popped_.notify_one();
  return true;
}

TStageQueue::TPopped TStageQueue::PopFor(TStageItem& item, std::chrono::milliseconds wait) {
  {
    std::unique_lock<std::mutex> guard(lock_);
    if (!pushed_.wait_for(guard, wait, [&] { return closed_ || !items_.empty(); })) return TPopped::TimedOut;
    if (closed_) return TPopped::Closed;
    TakeFront(item);
  }
  popped_.notify_one();
  return TPopped::Item;
}

void TStageQueue::TakeFront(TStageItem& item) {
  item = std::move(items_.front());
  items_.pop_front();
  if (item.Kind == TStageKind::Picture) --pictures_;
}

void TStageQueue::Close() {
  std::deque<TStageItem> left;
  {
    std::lock_guard<std::mutex> guard(lock_);
    closed_ = true;
    left.swap(items_);
    pictures_ = 0;
  }
  pushed_.notify_all();
  popped_.notify_all();
  for (TStageItem& item : left) FreeStageItem(item);
}
