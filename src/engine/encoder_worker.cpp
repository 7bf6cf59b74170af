// The encoder thread of an overlapped run (see encoder_worker.h).
#include "engine/encoder_worker.h"

#include <cstdio>

#include "engine/custom_ffmpeg.h"
#include "engine/stage_pipeline.h"
#include "media/library_tables.h"
#include "platform/thread_priority.h"

TEncoderWorker::TEncoderWorker(TOutputStream& ost)
    : ost_(ost),
      capacity_(ost.Type == AVMEDIA_TYPE_VIDEO ? size_t(EncoderQueuePictures(ost.Enc)) : size_t(kEncoderQueueFrames)) {
  thread_ = std::thread([this] { Run(); });
  std::unique_lock<std::mutex> guard(lock_);
  changed_.wait(guard, [&] { return threadId_ != 0; });
}

TEncoderWorker::~TEncoderWorker() {
  Close();
  if (thread_.joinable()) thread_.join();
  Close();  // what the thread made after the first close
}

void TEncoderWorker::RethrowFailure() {
  if (failure_) std::rethrow_exception(failure_);
}

void TEncoderWorker::Submit(AVFrame* frame) {
  std::unique_lock<std::mutex> guard(lock_);
  changed_.wait(guard, [&] { return closed_ || failure_ || frames_.size() < capacity_; });
  if (closed_ || failure_) {
    const std::exception_ptr failure = failure_;
    guard.unlock();
    if (frame) lib::av_frame_free(&frame);
    if (failure) std::rethrow_exception(failure);
    throw FFmpegException("the encoder's thread has ended");
  }
  frames_.push_back(frame);
  guard.unlock();
  changed_.notify_all();
}

void TEncoderWorker::Collect(std::vector<AVPacket*>& packets, bool untilDrained) {
  std::unique_lock<std::mutex> guard(lock_);
  if (untilDrained) changed_.wait(guard, [&] { return closed_ || failure_ || drained_; });
  // What the encoder made before it failed goes out first, as it would have
  // without the thread; the failure follows with the next call.
  if (packets_.empty()) {
    RethrowFailure();
    if (untilDrained && !drained_) throw FFmpegException("the encoder's thread has ended");
  }
  packets.insert(packets.end(), packets_.begin(), packets_.end());
  packets_.clear();
}

void TEncoderWorker::Close() {
  std::deque<AVFrame*> frames;
  std::deque<AVPacket*> packets;
  {
    std::lock_guard<std::mutex> guard(lock_);
    closed_ = true;
    frames.swap(frames_);
    packets.swap(packets_);
  }
  changed_.notify_all();
  for (AVFrame*& f : frames)
    if (f) lib::av_frame_free(&f);
  for (AVPacket*& p : packets) lib::av_packet_free(&p);
}

void TEncoderWorker::Run() {
  // Sound is little work and never holds the pictures back.
  if (ost_.Type == AVMEDIA_TYPE_AUDIO) platform::LowerCurrentThreadPriority(kHelperNicenessStep);
  {
    std::lock_guard<std::mutex> guard(lock_);
    threadId_ = platform::CurrentThreadId();
  }
  changed_.notify_all();
  for (;;) {
    AVFrame* frame = nullptr;
    {
      std::unique_lock<std::mutex> guard(lock_);
      changed_.wait(guard, [&] { return closed_ || !frames_.empty(); });
      if (closed_) return;
      frame = frames_.front();
      frames_.pop_front();
    }
    changed_.notify_all();
    try {
      Encode(frame);
    } catch (...) {
      Fail();
      return;
    }
    if (!frame) return;  // drained
  }
}

void TEncoderWorker::Encode(AVFrame* frame) {
  const bool drain = frame == nullptr;
  // The picture carries the shape the output side decided on.
  if (frame && ost_.Type == AVMEDIA_TYPE_VIDEO) ost_.Enc->sample_aspect_ratio = frame->sample_aspect_ratio;
  int ret = lib::avcodec_send_frame(ost_.Enc, frame);
  if (frame) lib::av_frame_free(&frame);
  if (ret < 0 && !(drain && ret == AVERROR_EOF)) {
    if (!drain) throw FFmpegException(EncodingFailureText(ost_));
    // An encoder that refuses the end has nothing more to give.
    std::lock_guard<std::mutex> guard(lock_);
    drained_ = true;
    changed_.notify_all();
    return;
  }
  AVPacket* pkt = nullptr;
  for (;;) {
    if (!pkt && !(pkt = lib::av_packet_alloc())) throw FFmpegException("av_packet_alloc failed");
    ret = lib::avcodec_receive_packet(ost_.Enc, pkt);
    if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) break;
    if (ret < 0) {
      lib::av_packet_free(&pkt);
      throw FFmpegException(EncodingFailureText(ost_));
    }
    if (ost_.LogFile && ost_.Enc->stats_out) std::fputs(ost_.Enc->stats_out, ost_.LogFile);
    {
      std::lock_guard<std::mutex> guard(lock_);
      packets_.push_back(pkt);
    }
    pkt = nullptr;
  }
  lib::av_packet_free(&pkt);
  if (drain) {
    std::lock_guard<std::mutex> guard(lock_);
    drained_ = true;
  }
  changed_.notify_all();
}

void TEncoderWorker::Fail() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    failure_ = std::current_exception();
  }
  changed_.notify_all();
}
