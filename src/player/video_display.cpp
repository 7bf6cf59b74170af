// The picture side of the play thread: the window and renderer, the
// textures of the picture queue, the refresh that shows each picture when
// it is due (dropping late ones), and the display rectangle.
#include <chrono>
#include <cmath>
#include <cstring>

#include "player/player.h"

namespace {

double NowSeconds() { return double(lib::av_gettime()) / 1000000.0; }

}  // namespace

TDisplayRect DisplayRectangle(int surfaceWidth, int surfaceHeight, double aspect) {
  TDisplayRect r;
  if (surfaceWidth <= 0 || surfaceHeight <= 0 || !(aspect > 0)) return r;
  r.height = surfaceHeight;
  r.width = int(std::lrint(r.height * aspect)) & ~1;
  if (r.width > surfaceWidth) {
    r.width = surfaceWidth;
    r.height = int(std::lrint(r.width / aspect)) & ~1;
  }
  r.x = (surfaceWidth - r.width) / 2;
  r.y = (surfaceHeight - r.height) / 2;
  return r;
}

double DisplayAspect(float aspectRatio, int surfaceWidth, int surfaceHeight, AVRational sampleAspect,
                     int pictureWidth, int pictureHeight) {
  if (aspectRatio < 0 && surfaceWidth > 0 && surfaceHeight > 0) return double(surfaceWidth) / surfaceHeight;
  if (aspectRatio > 0) return aspectRatio;
  double sar = sampleAspect.num > 0 && sampleAspect.den > 0 ? av_q2d(sampleAspect) : 1.0;
  if (sar <= 0) sar = 1.0;
  if (pictureWidth <= 0 || pictureHeight <= 0) return 1.0;
  return sar * pictureWidth / pictureHeight;
}

void TCustomPlayer::RefreshThread(TPlayback* is) {
  while (!is->abortRequest) {
    if (!is->refreshPending.exchange(true)) events_.Post(kRefreshEvent, is);
    const bool waveform = is->hasAudio && is->audioDisplayMode != 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(waveform ? kWaveformRefreshPeriodMs : kRefreshPeriodMs));
  }
}

int TCustomPlayer::OpenSurface(TPlayback* is, bool force) {
  if (!window_) {
    if (screenHandle_ != 0) {
      window_ = lib::SDL_CreateWindowFrom(reinterpret_cast<const void*>(screenHandle_));
      windowFromHost_ = window_ != nullptr;
      if (!window_ && !ownWindowLogged_) {
        ownWindowLogged_ = true;
        DeferLog(llInfo, std::string("Cannot draw into the host window, using a window of our own: ") +
                             lib::SDL_GetError());
      }
    }
    if (windowFromHost_ && (screenWidth_ == 0 || screenHeight_ == 0)) {
      int w = 0, h = 0;
      lib::SDL_GetWindowSize(window_, &w, &h);
      screenWidth_ = w;
      screenHeight_ = h;
    }
  }
  int width = 640, height = 480;
  if (screenWidth_ > 0) {
    width = screenWidth_;
    height = screenHeight_;
  } else if (is->decoderWidth > 0) {
    width = is->decoderWidth & ~1;
    height = is->decoderHeight & ~1;
  }
  if (!force && renderer_ && is->surfaceWidth == width && is->surfaceHeight == height) return 0;
  if (!window_) {
    window_ = lib::SDL_CreateWindow("FFPlayer", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height,
                                    SDL_WINDOW_RESIZABLE);
  } else if (!windowFromHost_) {
    lib::SDL_SetWindowSize(window_, width, height);
  }
  if (window_ && !renderer_) {
    // Drivers without a screen have no accelerated renderer; asking for one
    // anyway costs a failed attempt (and the memory it leaves behind).
    const char* driver = lib::SDL_GetCurrentVideoDriver();
    const bool headless = driver && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0);
    if (!headless) renderer_ = lib::SDL_CreateRenderer(window_, -1, 0);
    if (!renderer_) renderer_ = lib::SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
  }
  if (!renderer_) {
    DeferLog(llError, "SDL: could not set video mode.");
    return -1;
  }
  is->surfaceWidth = width;
  is->surfaceHeight = height;
  return 0;
}

void TCustomPlayer::CloseDisplay() {
  if (renderer_) lib::SDL_DestroyRenderer(renderer_);
  renderer_ = nullptr;
  if (window_) lib::SDL_DestroyWindow(window_);
  window_ = nullptr;
  windowFromHost_ = false;
}

void TCustomPlayer::AllocatePicture(TPlayback* is) {
  TVideoPicture* vp;
  int width, height;
  {
    std::lock_guard<std::mutex> guard(is->pictLock);
    vp = &is->pictq[size_t(is->pictqWindex)];
    width = vp->width;
    height = vp->height;
  }
  if (vp->texture) lib::SDL_DestroyTexture(vp->texture);
  vp->texture = nullptr;
  if (renderer_ && width > 0 && height > 0)
    vp->texture = lib::SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_YV12, SDL_TEXTUREACCESS_STREAMING, width, height);
  {
    std::lock_guard<std::mutex> guard(is->pictLock);
    vp->allocated = true;  // also without a texture: the picture is then not shown
  }
  is->pictCond.notify_all();
}

void TCustomPlayer::RefreshPictures(TPlayback* is, bool advance) {
  if (is->hasVideo) {
    for (;;) {
      std::unique_lock<std::mutex> guard(is->pictLock);
      if (is->pictqSize == 0) {
        guard.unlock();
        if (!advance) ShowPicture(is);
        break;
      }
      TVideoPicture& vp = is->pictq[size_t(is->pictqRindex)];
      const double now = NowSeconds();
      if (now < vp.target) return;
      const bool seekDone = is->seekDone;
      // A paused playback shows the first picture after opening or a seek
      // and then holds it.
      if (is->paused && is->shownSinceFlush && !seekDone) return;
      is->currentPts = vp.pts;
      is->currentPtsDrift = vp.pts - now;
      is->currentPos = vp.pos;
      const double nextTarget = is->pictqSize > 1
                                    ? is->pictq[size_t((is->pictqRindex + 1) % kPictureQueueSize)].target
                                    : vp.target + is->videoClock - vp.pts;
      const bool late = now > nextTarget && !is->captureInput && !is->paused;
      if (late || seekDone) {
        is->skipFactor *= 1.05f;
        if (is->pictqSize > 1 || now > nextTarget + kLatePictureTolerance || seekDone) {
          if (!seekDone) ++is->framesDroppedLate;
          is->pictqRindex = (is->pictqRindex + 1) % kPictureQueueSize;
          --is->pictqSize;
          guard.unlock();
          is->pictCond.notify_all();
          return;  // no position update after a drop
        }
      }
      is->shownIndex = is->pictqRindex;
      is->shownSinceFlush = true;
      guard.unlock();
      if (is->subtitleStream >= 0) ExpireSubtitles(is);
      ShowPicture(is);
      ++is->framesShown;
      if (advance) {
        guard.lock();
        is->pictqRindex = (is->pictqRindex + 1) % kPictureQueueSize;
        --is->pictqSize;
        guard.unlock();
        is->pictCond.notify_all();
      }
      break;
    }
  } else if (is->hasAudio) {
    ShowPicture(is);
  } else {
    return;
  }
  UpdatePosition(is);
}

void TCustomPlayer::ShowPicture(TPlayback* is) {
  if (is->hasAudio && is->audioDisplayMode != 0) {
    ShowWaveform(is);
    return;
  }
  if (!renderer_ && OpenSurface(is, false) < 0) return;
  TVideoPicture* vp;
  {
    std::lock_guard<std::mutex> guard(is->pictLock);
    vp = &is->pictq[size_t(is->shownIndex >= 0 ? is->shownIndex : is->pictqRindex)];
  }
  if (!vp->texture) return;
  double pts;
  AVRational sar;
  int width, height;
  {
    std::lock_guard<std::mutex> guard(is->pictLock);
    pts = vp->pts;
    sar = vp->sampleAspect;
    width = vp->width;
    height = vp->height;
  }
  {
    std::lock_guard<std::mutex> pixels(vp->pixelLock);
    const AVFrame* f = vp->frame;
    if (!f) return;
    if (!vp->uploaded) {
      if (is->subtitleStream >= 0) BlendSubtitle(is, vp->frame, pts);
      lib::SDL_UpdateYUVTexture(vp->texture, nullptr, f->data[0], f->linesize[0], f->data[1], f->linesize[1],
                                f->data[2], f->linesize[2]);
      vp->uploaded = true;
    }
  }
  const double aspect = DisplayAspect(aspectRatio_, is->surfaceWidth, is->surfaceHeight, sar, width, height);
  const TDisplayRect r = DisplayRectangle(is->surfaceWidth, is->surfaceHeight, aspect);
  const SDL_Rect dst{is->left + r.x, is->top + r.y, r.width, r.height};
  // A renderer's back buffer holds nothing worth keeping between frames.
  lib::SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  lib::SDL_RenderClear(renderer_);
  lib::SDL_RenderCopy(renderer_, vp->texture, nullptr, &dst);
  Present();
}

void TCustomPlayer::Present() {
  if (capturePresented_) {
    int w = 0, h = 0;
    lib::SDL_GetRendererOutputSize(renderer_, &w, &h);
    std::vector<uint32_t> pixels(size_t(w) * size_t(h));
    if (w > 0 && h > 0 &&
        lib::SDL_RenderReadPixels(renderer_, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels.data(), w * 4) == 0) {
      std::lock_guard<std::mutex> guard(presentedLock_);
      presented_.swap(pixels);
      presentedWidth_ = w;
      presentedHeight_ = h;
    }
  }
  lib::SDL_RenderPresent(renderer_);
}
