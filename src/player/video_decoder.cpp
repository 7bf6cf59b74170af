// The video thread: decodes the video queue into the two-entry picture
// queue, keeping the picture times and the target times at which the play
// thread shows them (in step with the audio clock), and the decoder-side
// frame skipping.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>

#include "player/player.h"

namespace {

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

double NowSeconds() { return double(lib::av_gettime()) / 1000000.0; }

bool IsPlanar420(int format) { return format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P; }

}  // namespace

double TPlayback::VideoClockNowLocked() const {
  if (paused) return currentPts;
  if (currentPtsDrift != 0) return NowSeconds() + currentPtsDrift;
  return double(startTime) / 1000000.0;
}

double TPlayback::VideoClockNow() {
  std::lock_guard<std::mutex> guard(pictLock);
  return VideoClockNowLocked();
}

void TCustomPlayer::VideoThread(TPlayback* is) {
  AVFrame* frame = lib::av_frame_alloc();
  AVPacket* pkt = lib::av_packet_alloc();
  if (!frame || !pkt) {
    lib::av_frame_free(&frame);
    lib::av_packet_free(&pkt);
    return;
  }
  for (;;) {
    while (is->paused && !is->videoq.AbortRequested() && !is->pausedBeforeSeek && is->openedPaused == 0)
      SleepMs(10);
    double pts = 0;
    const int got = GetVideoFrame(is, frame, pkt, pts);
    if (got < 0) break;
    if (got == 0) continue;
    if (is->seekDone && is->videoFlushSeen) {
      is->seekDone = false;
      is->pausedBeforeSeek = false;
    }
    if (!std::isnan(pts)) pts *= av_q2d(is->videoSt->time_base);
    const int queued = QueuePicture(is, frame, pts, frame->pkt_pos);
    lib::av_frame_unref(frame);
    if (queued < 0) break;
    // A picture decoded before a pending seek does not answer a waiter.
    if (is->videoFlushSeen) frameDecodedEvent_.Set();
    is->endReported = false;
    if (is->openedPaused != 0) {
      // Counted under the lock that Resume takes to cancel it, so psPause
      // never follows the application's psResume.
      std::lock_guard<std::mutex> guard(openedPausedLock_);
      if (is->openedPaused > 1) {
        is->openedPaused = 0;
        if (is->paused) SetState(psPause);
      } else if (is->openedPaused != 0) {
        ++is->openedPaused;
      }
    }
  }
  lib::av_frame_free(&frame);
  lib::av_packet_free(&pkt);
  lib::sws_freeContext(is->toYuv420);
  is->toYuv420 = nullptr;
}

// 1 with a picture to show in frame (pts in stream time base units, NAN when
// unknown), 0 when
// nothing is to be shown yet, -1 when the queue was aborted.
int TCustomPlayer::GetVideoFrame(TPlayback* is, AVFrame* frame, AVPacket* pkt, double& pts) {
  AVCodecContext* ctx = is->videoCtx;
  for (;;) {
    const int got = lib::avcodec_receive_frame(ctx, frame);
    if (got >= 0) {
      if (frame->pkt_dts != AV_NOPTS_VALUE) {
        if (frame->pkt_dts <= is->lastDtsForFault) ++is->faultyDts;
        is->lastDtsForFault = frame->pkt_dts;
      }
      if (frame->pts != AV_NOPTS_VALUE) {
        if (frame->pts <= is->lastPtsForFault) ++is->faultyPts;
        is->lastPtsForFault = frame->pts;
      }
      if (frame->pts != AV_NOPTS_VALUE && (frame->pkt_dts == AV_NOPTS_VALUE || is->faultyPts < is->faultyDts))
        pts = double(frame->pts);
      else if (frame->pkt_dts != AV_NOPTS_VALUE)
        pts = double(frame->pkt_dts);
      else if (frame->pts != AV_NOPTS_VALUE)
        pts = double(frame->pts);
      else
        pts = NAN;  // unknown: the picture follows the video clock
      std::lock_guard<std::mutex> guard(is->pictLock);
      is->skipCounter += 1;
      if (is->skipCounter >= is->skipFactor) {
        is->skipCounter -= std::max(is->skipFactor, 1.0f);
        return 1;
      }
      ++is->framesSkippedDecode;
      lib::av_frame_unref(frame);
      continue;
    }
    if (got == AVERROR_EOF && is->videoDrained) is->videoEnded = true;
    if (got != AVERROR(EAGAIN) && got != AVERROR_EOF) continue;  // a broken picture: none to show

    if (is->videoq.Get(pkt, true) < 0) return -1;
    if (IsFlushPacket(pkt)) {
      lib::av_packet_unref(pkt);
      lib::avcodec_flush_buffers(ctx);
      is->videoDrained = false;
      is->videoEnded = false;
      std::unique_lock<std::mutex> guard(is->pictLock);
      for (TVideoPicture& vp : is->pictq) vp.target = 0;
      is->pictCond.wait(guard, [is] { return is->pictqSize == 0 || is->videoq.AbortRequested(); });
      is->currentPos = -1;
      is->lastDtsForFault = is->lastPtsForFault = INT64_MIN;
      is->frameLastPts = double(INT64_MIN);
      is->frameLastDelay = 0;
      is->frameTimer = NowSeconds();
      is->frameTimerStarted = false;
      is->skipFactor = 1.0f;
      is->skipCounter = 0;
      is->shownSinceFlush = false;
      is->videoFlushSeen = true;
      return 0;
    }
    if (!pkt->data && pkt->size == 0) {
      // The end of the input: let the delayed pictures out once.
      if (!is->videoDrained) {
        is->videoDrained = true;
        lib::avcodec_send_packet(ctx, nullptr);
      } else if (!is->endReported) {
        UpdatePosition(is);
      }
      lib::av_packet_unref(pkt);
      continue;
    }
    if (is->videoDrained) {
      lib::avcodec_flush_buffers(ctx);
      is->videoDrained = false;
      is->videoEnded = false;
    }
    // Every picture was taken out before, so the decoder has room for it.
    lib::avcodec_send_packet(ctx, pkt);
    lib::av_packet_unref(pkt);
  }
}

// The picture in 4:2:0 planes, its own reference (or a converted copy).
static AVFrame* PlanarPicture(TPlayback* is, const AVFrame* frame) {
  AVFrame* pic = lib::av_frame_alloc();
  if (!pic) return nullptr;
  if (IsPlanar420(frame->format)) {
    if (lib::av_frame_ref(pic, frame) < 0) lib::av_frame_free(&pic);
    return pic;
  }
  pic->format = AV_PIX_FMT_YUV420P;
  pic->width = frame->width;
  pic->height = frame->height;
  is->toYuv420 = lib::sws_getCachedContext(is->toYuv420, frame->width, frame->height,
                                           AVPixelFormat(frame->format), frame->width, frame->height,
                                           AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
  if (!is->toYuv420 || lib::av_frame_get_buffer(pic, 0) < 0) {
    lib::av_frame_free(&pic);
    return nullptr;
  }
  lib::sws_scale(is->toYuv420, frame->data, frame->linesize, 0, frame->height, pic->data, pic->linesize);
  lib::av_frame_copy_props(pic, frame);
  return pic;
}

int TCustomPlayer::QueuePicture(TPlayback* is, AVFrame* frame, double pts, int64_t pos) {
  // A picture without a time follows the clock. A time of 0 is a real time
  // (the first picture after a seek to the start), not a missing one.
  if (!std::isnan(pts))
    is->videoClock = pts;
  else
    pts = is->videoClock;
  const AVRational rate = lib::av_guess_frame_rate(is->ic, is->videoSt, frame);
  const double frameDelay = rate.num > 0 && rate.den > 0 ? av_q2d(AVRational{rate.den, rate.num}) : 0.04;
  is->videoClock = is->videoClock + frameDelay + frame->repeat_pict * frameDelay * 0.5;

  AVFrame* pic = PlanarPicture(is, frame);
  if (!pic) return 0;  // this picture is lost, the next may do
  if (hook_ && onHook_) RunHook(is, pic, pts);
  const int width = pic->width & ~1, height = pic->height & ~1;

  std::unique_lock<std::mutex> guard(is->pictLock);
  if (is->pictqSize >= kPictureQueueSize && !is->refreshPending)
    is->skipFactor = std::max(0.95f, is->skipFactor * 0.95f);
  is->pictCond.wait(guard, [is] { return is->pictqSize < kPictureQueueSize || is->videoq.AbortRequested(); });
  if (is->videoq.AbortRequested()) {
    lib::av_frame_free(&pic);
    return -1;
  }
  TVideoPicture& vp = is->pictq[size_t(is->pictqWindex)];
  if (!vp.allocated || vp.width != width || vp.height != height) {
    vp.allocated = false;
    vp.width = width;
    vp.height = height;
    events_.Post(kAllocatePictureEvent, is);
    is->pictCond.wait(guard, [is, &vp] { return vp.allocated || is->videoq.AbortRequested(); });
    if (is->videoq.AbortRequested()) {
      lib::av_frame_free(&pic);
      return -1;
    }
  }
  vp.pts = pts;
  vp.pos = pos;
  vp.sampleAspect = frame->sample_aspect_ratio;
  {
    std::lock_guard<std::mutex> pixels(vp.pixelLock);
    std::swap(vp.frame, pic);
    vp.uploaded = false;
  }
  is->pictqWindex = (is->pictqWindex + 1) % kPictureQueueSize;
  if (!is->frameTimerStarted) {
    is->frameTimer = NowSeconds();
    is->frameTimerStarted = true;
  }
  vp.target = ComputeTargetTime(is, pts);
  ++is->pictqSize;
  guard.unlock();
  lib::av_frame_free(&pic);  // the entry's previous picture
  return 0;
}

// Called with pictLock held.
double TCustomPlayer::ComputeTargetTime(TPlayback* is, double framePts) {
  double delay = framePts - is->frameLastPts;
  if (delay <= 0 || delay >= kNoSyncThreshold)
    delay = is->frameLastDelay;
  else
    is->frameLastDelay = delay;
  is->frameLastPts = framePts;
  if (is->hasAudio) {
    const double diff = is->VideoClockNowLocked() - is->AudioClockNow();
    const double threshold = std::max(kSyncThreshold, delay);
    if (std::fabs(diff) < kNoSyncThreshold) {
      if (diff <= -threshold)
        delay = 0;
      else if (diff >= threshold)
        delay = 2 * delay;
    }
  }
  is->frameTimer += delay;
  return is->frameTimer;
}

void TCustomPlayer::RunHook(TPlayback* is, AVFrame* frame, double pts) {
  if (!FrameToBitmap(hookConv_, frame)) {
    Log(this, llError, "Cannot initialize the toRGB conversion context");
    return;
  }
  TBitmap* bitmap = hookConv_.Bitmap.get();
  const int64_t ptsUs = int64_t(std::llround(pts * 1000000.0)) - is->startTime;
  std::string failure;
  bool failed = false;
  {
    std::lock_guard<TBitmap> canvas(*bitmap);
    try {
      onHook_(this, bitmap, ptsUs);
    } catch (const std::exception& e) {
      failed = true;
      failure = e.what();
    } catch (...) {
      failed = true;
      failure = "unknown error";
    }
  }
  if (failed) {
    Log(this, llError, "Error occurs OnHook: " + failure);
    return;
  }
  if (lib::av_frame_make_writable(frame) < 0 || !BitmapToFrame(hookConv_, *bitmap, frame))
    Log(this, llError, "Cannot initialize the fromRGB conversion context");
}
