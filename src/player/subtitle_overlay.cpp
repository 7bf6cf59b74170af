// The subtitle thread and queue, expiry of shown subtitles and blending.
#include "player/subtitle_overlay.h"

#include <algorithm>
#include <chrono>

#include "player/player.h"

uint32_t PaletteEntryToYuv(uint32_t argb) {
  const int a = int(argb >> 24) & 0xff;
  const int r = int(argb >> 16) & 0xff;
  const int g = int(argb >> 8) & 0xff;
  const int b = int(argb) & 0xff;
  const int y = (263 * r + 517 * g + 101 * b + 16896) >> 10;
  const int u = ((-152 * r - 298 * g + 450 * b + 511) >> 10) + 128;
  const int v = ((450 * r - 377 * g - 74 * b + 511) >> 10) + 128;
  return (uint32_t(a) << 24) | (uint32_t(y & 0xff) << 16) | (uint32_t(u & 0xff) << 8) | uint32_t(v & 0xff);
}

void BlendSubtitleRect(uint8_t* const planes[3], const int linesize[3], int width, int height,
                       const AVSubtitleRect& rect) {
  if (!rect.data[0] || !rect.data[1] || width <= 0 || height <= 0) return;
  const int w = std::clamp(rect.w, 0, width);
  const int h = std::clamp(rect.h, 0, height);
  const int x = std::clamp(rect.x, 0, width - w);
  const int y = std::clamp(rect.y, 0, height - h);
  if (w == 0 || h == 0) return;
  const uint32_t* palette = reinterpret_cast<const uint32_t*>(rect.data[1]);
  auto entry = [&](int col, int row) { return palette[rect.data[0][row * rect.linesize[0] + col]]; };

  for (int row = 0; row < h; ++row) {
    uint8_t* luma = planes[0] + ptrdiff_t(y + row) * linesize[0] + x;
    for (int col = 0; col < w; ++col) {
      const uint32_t c = entry(col, row);
      const int a = int(c >> 24);
      luma[col] = uint8_t(((255 - a) * luma[col] + a * int((c >> 16) & 0xff)) / 255);
    }
  }
  // Each chroma sample covers a 2 x 2 block of luma samples; only the
  // covered ones (1, 2 or 4) count.
  for (int cy = y / 2; cy <= (y + h - 1) / 2; ++cy) {
    for (int cx = x / 2; cx <= (x + w - 1) / 2; ++cx) {
      int k = 0, alphaSum = 0, uSum = 0, vSum = 0;
      for (int dy = 0; dy < 2; ++dy) {
        const int py = 2 * cy + dy;
        if (py < y || py >= y + h) continue;
        for (int dx = 0; dx < 2; ++dx) {
          const int px = 2 * cx + dx;
          if (px < x || px >= x + w) continue;
          const uint32_t c = entry(px - x, py - y);
          ++k;
          alphaSum += int(c >> 24);
          uSum += int((c >> 8) & 0xff);
          vSum += int(c & 0xff);
        }
      }
      const int s = k == 4 ? 2 : k == 2 ? 1 : 0;
      const int alpha = alphaSum >> 2;
      uint8_t* u = planes[1] + ptrdiff_t(cy) * linesize[1] + cx;
      uint8_t* v = planes[2] + ptrdiff_t(cy) * linesize[2] + cx;
      *u = uint8_t(((int(*u) << s) * (255 - alpha) + uSum * alpha) / (255 << s));
      *v = uint8_t(((int(*v) << s) * (255 - alpha) + vSum * alpha) / (255 << s));
    }
  }
}

namespace {

void FreeSubPicture(TSubPicture& sp) {
  lib::avsubtitle_free(&sp.sub);
  sp.sub = AVSubtitle{};
}

}  // namespace

void TCustomPlayer::SubtitleThread(TPlayback* is) {
  AVPacket* pkt = lib::av_packet_alloc();
  if (!pkt) return;
  for (;;) {
    while (is->paused && !is->subtitleq.AbortRequested() && !is->pausedBeforeSeek)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (is->subtitleq.Get(pkt, true) < 0) break;
    if (IsFlushPacket(pkt)) {
      lib::av_packet_unref(pkt);
      lib::avcodec_flush_buffers(is->subtitleCtx);
      continue;
    }
    TSubPicture* sp;
    {
      std::unique_lock<std::mutex> guard(is->subLock);
      is->subCond.wait(guard, [is] {
        return is->subpqSize < kSubtitleQueueSize || is->subtitleq.AbortRequested();
      });
      if (is->subtitleq.AbortRequested()) break;
      sp = &is->subpq[size_t(is->subpqWindex)];
    }
    // The entry at the write index belongs to this thread until it is counted.
    sp->pts = pkt->pts != AV_NOPTS_VALUE ? double(pkt->pts) * av_q2d(is->subtitleSt->time_base) : 0;
    int got = 0;
    if (lib::avcodec_decode_subtitle2(is->subtitleCtx, &sp->sub, &got, pkt) >= 0 && got) {
      if (sp->sub.format == 0) {
        for (unsigned i = 0; i < sp->sub.num_rects; ++i) {
          AVSubtitleRect* r = sp->sub.rects[i];
          if (!r->data[1]) continue;
          uint32_t* palette = reinterpret_cast<uint32_t*>(r->data[1]);
          for (int j = 0; j < r->nb_colors; ++j) palette[j] = PaletteEntryToYuv(palette[j]);
        }
        std::lock_guard<std::mutex> guard(is->subLock);
        is->subpqWindex = (is->subpqWindex + 1) % kSubtitleQueueSize;
        ++is->subpqSize;
      } else {
        FreeSubPicture(*sp);  // text subtitles are decoded but not shown
      }
    }
    lib::av_packet_unref(pkt);
  }
  lib::av_packet_free(&pkt);
}

void TCustomPlayer::FreeSubtitleQueue(TPlayback* is) {
  std::lock_guard<std::mutex> guard(is->subLock);
  while (is->subpqSize > 0) {
    FreeSubPicture(is->subpq[size_t(is->subpqRindex)]);
    is->subpqRindex = (is->subpqRindex + 1) % kSubtitleQueueSize;
    --is->subpqSize;
  }
}

void TCustomPlayer::ExpireSubtitles(TPlayback* is) {
  double now;
  {
    std::lock_guard<std::mutex> guard(is->pictLock);
    now = is->currentPts;
  }
  {
    std::lock_guard<std::mutex> guard(is->subLock);
    if (is->subtitleStreamChanged) {
      while (is->subpqSize > 0) {
        FreeSubPicture(is->subpq[size_t(is->subpqRindex)]);
        is->subpqRindex = (is->subpqRindex + 1) % kSubtitleQueueSize;
        --is->subpqSize;
      }
      is->subtitleStreamChanged = false;
    } else if (is->subpqSize > 0) {
      TSubPicture& sp = is->subpq[size_t(is->subpqRindex)];
      const TSubPicture* next =
          is->subpqSize > 1 ? &is->subpq[size_t((is->subpqRindex + 1) % kSubtitleQueueSize)] : nullptr;
      const bool expired = now > sp.pts + sp.sub.end_display_time / 1000.0 ||
                           (next && now > next->pts + next->sub.start_display_time / 1000.0);
      if (!expired) return;
      FreeSubPicture(sp);
      is->subpqRindex = (is->subpqRindex + 1) % kSubtitleQueueSize;
      --is->subpqSize;
    } else {
      return;
    }
  }
  is->subCond.notify_all();
}

// Called on the play thread with the entry's pixelLock held, before the
// picture is uploaded; the picture is changed once.
void TCustomPlayer::BlendSubtitle(TPlayback* is, AVFrame* frame, double pts) {
  std::lock_guard<std::mutex> guard(is->subLock);
  if (is->subpqSize == 0) return;
  const TSubPicture& sp = is->subpq[size_t(is->subpqRindex)];
  if (pts < sp.pts + sp.sub.start_display_time / 1000.0) return;
  if (lib::av_frame_make_writable(frame) < 0) return;
  for (unsigned i = 0; i < sp.sub.num_rects; ++i)
    BlendSubtitleRect(frame->data, frame->linesize, frame->width & ~1, frame->height & ~1, *sp.sub.rects[i]);
}
