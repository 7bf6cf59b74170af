// The control layer: the play thread's event loop, the notification queue
// and its thread, position and end reports, the pause and seek hand-shakes
// and stopping.
#include <cmath>
#include <exception>

#include "platform/main_thread.h"
#include "player/player.h"

namespace {

double NowSeconds() { return double(lib::av_gettime()) / 1000000.0; }

// Waits for the event up to timeoutMs (< 0: without limit). On the main
// thread the queued main-thread calls are served every sliceMs meanwhile.
// stop() ends the wait early (false) when it turns true.
bool WaitEvent(platform::Event& event, int timeoutMs, int sliceMs, const std::function<bool()>& stop) {
  const bool main = platform::IsMainThread();
  int waited = 0;
  for (;;) {
    const int slice = timeoutMs < 0 ? sliceMs : std::min(sliceMs, timeoutMs - waited);
    if (event.WaitFor(slice)) return true;
    waited += slice;
    if (main) platform::ProcessPendingMessages();
    if (stop && stop()) return false;
    if (timeoutMs >= 0 && waited >= timeoutMs) return false;
  }
}

}  // namespace

// ------------------------------------------------------------- play thread

void TCustomPlayer::PlayThread() {
  SetState(psPlay);
  try {
    EventLoop();
  } catch (const std::exception& e) {
    FlushDeferredLog();
    Log(this, llFatal, std::string("PlayThread Exception: ") + e.what());
    std::lock_guard<std::timed_mutex> guard(playerLock_);
    ClosePlayback();
  }
  CloseDisplay();
  // SDL keeps per-thread data (its error text) for threads it did not start;
  // this one ends with each playback, so give it back.
  lib::SDL_TLSCleanup();
  FlushDeferredLog();
  SetState(psStop);
  playThreadRunning_.Set();
}

void TCustomPlayer::EventLoop() {
  for (;;) {
    TPlayEvent ev;
    const bool got = events_.Wait(ev, 10);
    std::unique_lock<std::timed_mutex> lock(playerLock_);
    TPlayback* is = playback_.load();
    if (!is) return;
    bool quit = window_ && HandleWindowEvents(is);
    if (!quit && got && ev.playback == is) {
      switch (ev.code) {
        case kQuitEvent:
          quit = true;
          break;
        case kAllocatePictureEvent:
          OpenSurface(is, false);
          AllocatePicture(is);
          break;
        case kRefreshEvent:
          RefreshPictures(is, true);
          is->refreshPending = false;
          break;
        case kReopenSurfaceEvent:
          if (OpenSurface(is, true) == 0) ShowPicture(is);
          break;
        default:
          break;
      }
    }
    if (quit) {
      ClosePlayback();
      lock.unlock();
      FlushDeferredLog();
      return;
    }
    lock.unlock();
    FlushDeferredLog();
  }
}

// SDL's window events; true when the playback must end (our own window was
// closed). The host's window is never closed from here.
bool TCustomPlayer::HandleWindowEvents(TPlayback* is) {
  SDL_Event e;
  while (lib::SDL_PollEvent(&e)) {
    switch (e.type) {
      case SDL_QUIT:
        if (!windowFromHost_) return true;
        break;
      case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
          screenWidth_ = e.window.data1;
          screenHeight_ = e.window.data2;
          is->surfaceWidth = e.window.data1;
          is->surfaceHeight = e.window.data2;
          if (is->paused) RefreshPictures(is, false);
        } else if (e.window.event == SDL_WINDOWEVENT_EXPOSED) {
          if (is->paused)
            RefreshPictures(is, false);
          else
            ShowPicture(is);
        }
        break;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP:
        lib::SDL_SetWindowInputFocus(window_);
        break;
      default:
        break;
    }
  }
  return false;
}

void TCustomPlayer::DeferLog(TLogLevel level, const std::string& text) {
  deferredLog_.emplace_back(level, text);
}

void TCustomPlayer::FlushDeferredLog() {
  std::vector<std::pair<TLogLevel, std::string>> lines;
  lines.swap(deferredLog_);
  for (auto& [level, text] : lines) Log(this, level, text);
}

void TCustomPlayer::PostEvent(TPlayEventCode code) {
  TPlayback* is = playback_.load();
  if (is) events_.Post(code, is);
}

// Ends everything of the current playback; the caller holds playerLock_.
void TCustomPlayer::ClosePlayback() {
  TPlayback* is = playback_.load();
  if (!is) return;
  is->abortRequest = true;
  if (is->readThread.joinable()) is->readThread.join();
  if (is->refreshThread.joinable()) is->refreshThread.join();
  for (TVideoPicture& vp : is->pictq) {
    if (vp.texture) lib::SDL_DestroyTexture(vp.texture);
    vp.texture = nullptr;
    std::lock_guard<std::mutex> pixels(vp.pixelLock);
    lib::av_frame_free(&vp.frame);
  }
  FreeSubtitleQueue(is);
  {
    std::lock_guard<std::mutex> guard(errLock_);
    lastStatistics_ = CollectStatistics(is);
  }
  playback_ = nullptr;
  delete retired_.exchange(is);
  ResetPlaybackState();
}

void TCustomPlayer::JoinFinishedThreads() {
  if (playThread_.joinable()) {
    WaitEvent(playThreadRunning_, -1, 10, nullptr);
    playThread_.join();
  }
  // Inside one of our handlers its notification thread waits for us: it is
  // joined later, by a Stop or Open outside the handlers or the destructor.
  if (notifier_->thread.joinable()) {
    lingering_.push_back(std::move(notifier_));
    notifier_ = std::make_unique<TNotifier>();
  }
  const bool insideHandler = handlerDepth_ > 0;
  for (auto it = lingering_.begin(); it != lingering_.end();) {
    TNotifier& n = **it;
    if (insideHandler && !n.ended.IsSet()) {
      ++it;
      continue;
    }
    WaitEvent(n.ended, -1, 10, nullptr);
    n.thread.join();
    it = lingering_.erase(it);
  }
  delete retired_.exchange(nullptr);
}

void TCustomPlayer::WaitForStop() {
  int tries = 1;
  for (;;) {
    if (playThreadRunning_.WaitFor(100)) return;
    platform::ProcessPendingMessages();
    if (!playback_.load()) return;
    std::unique_lock<std::timed_mutex> lock(playerLock_, std::defer_lock);
    if (!lock.try_lock_for(std::chrono::milliseconds(100))) continue;
    TPlayback* is = playback_.load();
    if (!is) return;
    ++tries;
    if (tries <= 10 || (!is->insideRead && tries <= 20)) {
      PostEvent(kQuitEvent);
      continue;
    }
    // The play thread does not answer: end the playback from here.
    ClosePlayback();
    return;
  }
}

// ----------------------------------------------------------------- control

void TCustomPlayer::TogglePlaybackPause() {
  auto gone = [this] { return playback_.load() == nullptr; };
  if (!WaitEvent(seekDoneEvent_, 250, 10, gone)) seekDoneEvent_.Set();
  TPlayback* is = playback_.load();
  if (!is) return;
  if (is->paused) {
    {
      std::lock_guard<std::mutex> guard(is->pictLock);
      const double now = NowSeconds();
      // The pause lasted from the picture on the screen until now; before the
      // first picture nothing was timed yet and nothing moves.
      const double shift = is->shownSinceFlush ? now + is->currentPtsDrift - is->currentPts : 0;
      is->frameTimer += shift;
      // Pictures queued before the pause are due as much later.
      for (int i = 0; i < is->pictqSize; ++i)
        is->pictq[size_t((is->pictqRindex + i) % kPictureQueueSize)].target += shift;
      if (is->readPauseResult != AVERROR(ENOSYS)) is->currentPts = is->currentPtsDrift + now;
      is->currentPtsDrift = is->currentPts - now;
    }
    is->paused = false;
  } else {
    if (is->hasVideo && !WaitEvent(frameDecodedEvent_, 250, 10, gone)) frameDecodedEvent_.Set();
    is = playback_.load();
    if (!is) return;
    is->paused = true;
  }
}

void TCustomPlayer::RequestSeek(TSeekFlags flags, bool wait, int64_t distance, int64_t position) {
  TPlayback* is = playback_.load();
  if (!is || is->seekRequest.load()) return;  // the pending seek wins
  is->pausedBeforeSeek = is->paused.load();
  is->seekPos = position;
  is->seekRel = distance;
  is->seekFlags = flags & (AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_BYTE | AVSEEK_FLAG_ANY);
  seekDoneEvent_.Reset();
  is->seekRequest.store(true, std::memory_order_release);
  if (!wait) return;
  auto gone = [this] { return playback_.load() == nullptr; };
  if (!WaitEvent(seekDoneEvent_, -1, 100, gone)) return;
  if (is->hasVideo) WaitEvent(frameDecodedEvent_, -1, 100, gone);
}

void TCustomPlayer::SetState(TPlayState state) {
  state_ = state;
  if (onState_)
    PushNotification(2, state, 0);
  else if (state == psStop)
    PushNotification(3, state, 0);
}

void TCustomPlayer::UpdatePosition(TPlayback* is) {
  if (!is || is->imageSequence) return;
  int64_t pos;
  if (is->hasVideo) {
    pos = std::llround(is->VideoClockNow() * 1000000.0) - is->startTime;
  } else if (is->hasAudio) {
    pos = std::llround(is->AudioClockNow() * 1000000.0) - is->startTime;
    const int64_t audioDuration = is->audioDuration;
    if (audioDuration > 0 && pos >= audioDuration && is->duration > pos) pos = is->duration;
  } else {
    return;
  }
  if (is->duration > 0 && pos >= is->duration) {
    pos = is->duration;
    if (pos != lastPositionReported_) lastPositionReported_ = 0;
  }
  const int64_t last = lastPositionReported_;
  if (last == INT64_MIN || std::llabs(pos - last) > 10000) {
    lastPositionReported_ = pos;
    if (onPosition_) PushNotification(1, psPlay, pos);
  }
  if (!is->captureInput && !is->endReported && is->endReached && LastPictureShown(is)) {
    is->endReported = true;
    SetState(psEnd);
  }
}

bool TCustomPlayer::LastPictureShown(TPlayback* is) {
  // The packets are all read when the input ends, but the decoder and the
  // picture queue still hold pictures: the end comes after the last one.
  if (!is->hasVideo) return true;
  if (!is->videoEnded) return false;
  std::lock_guard<std::mutex> guard(is->pictLock);
  return is->pictqSize == 0;
}

// ------------------------------------------------------- notification queue

void TCustomPlayer::PushNotification(int kind, TPlayState state, int64_t position) {
  TNotifier& n = *notifier_;
  std::lock_guard<std::mutex> guard(n.lock);
  const TNotification entry{kind, state, position};
  const int newest = (n.write + kNotifyQueueSize - 1) % kNotifyQueueSize;
  if (n.read != n.write && n.queue[newest].kind == kind) {
    n.queue[newest] = entry;
  } else {
    n.queue[n.write] = entry;
    n.write = (n.write + 1) % kNotifyQueueSize;
    if (n.write == n.read) n.read = (n.read + 1) % kNotifyQueueSize;  // the oldest is lost
  }
  n.notEmpty.Set();
}

bool TCustomPlayer::PopNotification(TNotifier& n, int& kind, TPlayState& state, int64_t& position) {
  std::lock_guard<std::mutex> guard(n.lock);
  if (n.read == n.write) return false;
  const TNotification& entry = n.queue[n.read];
  kind = entry.kind;
  state = entry.state;
  position = entry.position;
  n.read = (n.read + 1) % kNotifyQueueSize;
  if (n.read == n.write) n.notEmpty.Reset();
  return true;
}

void TCustomPlayer::NotifyThread(TNotifier* n) {
  auto raise = [this](const std::function<void()>& fn) {
    auto counted = [this, &fn] {
      ++handlerDepth_;
      try {
        fn();
      } catch (...) {
        --handlerDepth_;
        throw;
      }
      --handlerDepth_;
    };
    try {
      if (triggerInMainThread_)
        platform::CallInMainThread(counted);
      else
        fn();
    } catch (const std::exception& e) {
      Log(this, llError, std::string("Error in a player event handler: ") + e.what());
    }
  };
  for (;;) {
    int kind;
    TPlayState state;
    int64_t position;
    while (PopNotification(*n, kind, state, position)) {
      if (kind == 1 && onPosition_ && !destroying_) {
        raise([&] { onPosition_(this, position); });
      } else if (kind == 2) {
        if (onState_ && !destroying_) raise([&] { onState_(this, state); });
        if (state == psStop) kind = 3;
      }
      if (kind == 3) {
        n->ended.Set();
        return;
      }
    }
    n->notEmpty.Wait();
  }
}
