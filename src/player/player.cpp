#include "player/player.h"

#include <cstdlib>

#include "media/ffmpeg_loader.h"
#include "platform/code_page.h"
#include "platform/main_thread.h"

namespace {

const char* AudioDriverName(TAudioDriver d) {
  switch (d) {
    case adDirectSound:
      return "dsound";
    case adWaveOut:
      return "waveout";
    default:
      return "";
  }
}

const char* VideoDriverName(TVideoDriver d) {
  switch (d) {
    case vdDirectDraw:
      return "directx";
    case vdGDI:
      return "windib";
    default:
      return "";
  }
}

}  // namespace

TCustomPlayer::TCustomPlayer() = default;

TCustomPlayer::~TCustomPlayer() {
  destroying_ = true;  // the notification thread raises nothing from now on
  Stop(true);
  onPosition_ = nullptr;
  onState_ = nullptr;
  onHook_ = nullptr;
}

bool TCustomPlayer::AVLibLoaded() const { return FFLoader().LibrariesLoaded(kPlayerLibraries); }

bool TCustomPlayer::LoadAVLib(const std::wstring& folder) {
  TFFmpegLoader& loader = FFLoader();
  loader.SetLibraryPath(platform::Utf8(folder));
  if (loader.LoadLibraries(kPlayerLibraries)) return true;
  SetLastErrMsg(loader.LastError());
  return false;
}

std::string TCustomPlayer::LastErrMsg() const {
  std::lock_guard<std::mutex> guard(errLock_);
  return lastErrMsg_;
}

void TCustomPlayer::SetLastErrMsg(const std::string& text) {
  std::lock_guard<std::mutex> guard(errLock_);
  lastErrMsg_ = text;
}

void TCustomPlayer::RecordError(const std::string& text) {
  SetLastErrMsg(text);
  Log(this, llError, text);
}

bool TCustomPlayer::Open(const std::wstring& fileName, TScreenHandle screenHandle, bool paused) {
  if (!AVLibLoaded()) {
    RecordError("libav or libsdl not loaded.");
    return false;
  }
  Stop(true);
  events_.Clear();

  // The default drivers leave SDL's own choice (and what the user set) alone.
  if (audioDriver_ != adDefault) setenv("SDL_AUDIODRIVER", AudioDriverName(audioDriver_), 1);
  if (videoDriver_ != vdDefault) setenv("SDL_VIDEODRIVER", VideoDriverName(videoDriver_), 1);

  // SDL must not take the host program's signals; its parts are counted, so
  // every successful start below is matched by one quit in Stop(true).
  lib::SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  lib::SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  const bool videoOk = lib::SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_TIMER | SDL_INIT_EVENTS) == 0;
  const std::string initError = videoOk ? std::string() : std::string(lib::SDL_GetError());
  audioInitialised_ = videoOk && lib::SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
  if (!audioInitialised_ && videoOk) audioInitError_ = lib::SDL_GetError();
  if (screenHandle != 0) {
    const char* audioName = audioInitialised_ ? lib::SDL_GetCurrentAudioDriver() : nullptr;
    const char* videoName = videoOk ? lib::SDL_GetCurrentVideoDriver() : nullptr;
    if (audioName && *audioName) Log(this, llDebug, std::string("using audio driver: ") + audioName);
    if (videoName && *videoName) Log(this, llDebug, std::string("using video driver: ") + videoName);
  }
  if (!videoOk) {
    RecordError("Could not initialize SDL with ScreenHandle(" + std::to_string(screenHandle) +
                "): " + initError);
    return false;
  }
  sdlInitialised_ = true;

  openingDisableVideo_ = disableVideo_;
  if (disableDisplay_) {
    openingDisableVideo_ = true;
  } else if (lib::SDL_GetNumVideoDisplays() < 1) {
    RecordError("SDL_GetVideoInfo() failed");
    QuitSdl();
    return false;
  }

  // Bitmaps handed out for the previous file are no longer valid.
  snapshotConv_.Reset();
  hookConv_.Reset();
  screenHandle_ = screenHandle;
  windowFromHost_ = false;
  {
    std::lock_guard<std::mutex> guard(errLock_);
    lastStatistics_ = TPlayStatistics{};
  }

  if (!OpenPlayback(fileName, paused)) {
    QuitSdl();
    return false;
  }
  RaiseFileOpen();

  notifyThreadEnded_.Reset();
  playThreadRunning_.Reset();
  notifyThread_ = std::thread([this] { NotifyThread(); });
  playThread_ = std::thread([this] { PlayThread(); });
  return true;
}

void TCustomPlayer::RaiseFileOpen() {
  TPlayback* is = playback_.load();
  if (!is || !onFileOpen_) return;
  const int64_t duration = is->imageSequence ? 0 : is->duration;
  int frameWidth = -1, frameHeight = -1;
  if (is->hasVideo && is->decoderWidth > 0) {
    frameWidth = is->decoderWidth;
    frameHeight = is->decoderHeight;
  }
  int screenWidth = screenWidth_, screenHeight = screenHeight_;
  auto raise = [&] { onFileOpen_(this, duration, frameWidth, frameHeight, screenWidth, screenHeight); };
  if (triggerInMainThread_)
    platform::CallInMainThread(raise);
  else
    raise();
  screenWidth_ = screenWidth;
  screenHeight_ = screenHeight;
}

void TCustomPlayer::QuitSdl() {
  if (!sdlInitialised_) return;
  if (audioInitialised_) lib::SDL_QuitSubSystem(SDL_INIT_AUDIO);
  lib::SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_TIMER | SDL_INIT_EVENTS);
  sdlInitialised_ = false;
  audioInitialised_ = false;
}

void TCustomPlayer::Stop(bool waitForEnd) {
  TPlayback* is = playback_.load();
  if (is) {
    if (is->paused) TogglePlaybackPause();
    PostEvent(kQuitEvent);
    if (waitForEnd) WaitForStop();
  }
  if (waitForEnd) {
    JoinFinishedThreads();
    QuitSdl();
  }
}

void TCustomPlayer::Pause() {
  TPlayback* is = playback_.load();
  if (!is || is->paused) return;
  TogglePlaybackPause();
  SetState(psPause);
}

void TCustomPlayer::Resume() {
  TPlayback* is = playback_.load();
  if (!is || !is->paused) return;
  TogglePlaybackPause();
  SetState(psResume);
}

void TCustomPlayer::TogglePause() {
  TPlayback* is = playback_.load();
  if (!is) return;
  TogglePlaybackPause();
  SetState(is->paused ? psPause : psResume);
}

void TCustomPlayer::Seek(TSeekFlags flags, bool wait, int64_t pts) {
  TPlayback* is = playback_.load();
  if (!is) return;
  if (flags & sfByte) {
    RequestSeek(flags, wait, 0, pts);
    return;
  }
  if (is->duration != -1 && pts > is->duration) pts = is->duration;
  const int64_t target = pts + is->startTime;
  RequestSeek(flags, wait, pts <= 0 ? 1 : 0, target);
}

void TCustomPlayer::SetAspectRatio(float value) {
  if (value == aspectRatio_.load()) return;
  aspectRatio_ = value;
  if (playback_.load()) PostEvent(kReopenSurfaceEvent);
}

TBitmap* TCustomPlayer::CurrentFrame(int64_t& pts) {
  if (!snapshotConv_.Bitmap) snapshotConv_.Bitmap = std::make_unique<TBitmap>();
  TBitmap& bitmap = *snapshotConv_.Bitmap;
  pts = -1;
  TPlayback* is = playback_.load();
  if (!is || !is->hasVideo) {
    std::lock_guard<TBitmap> guard(bitmap);
    bitmap.SetSize(0, 0);
    return &bitmap;
  }
  {
    std::lock_guard<TBitmap> guard(bitmap);
    bitmap.SetSize(is->decoderWidth, is->decoderHeight);
  }
  TVideoPicture* vp;
  {
    std::lock_guard<std::mutex> guard(is->pictLock);
    // The picture on the screen; before the first one, the next to show.
    vp = &is->pictq[size_t(is->shownSinceFlush && is->shownIndex >= 0 ? is->shownIndex : is->pictqRindex)];
    pts = int64_t(vp->pts * 1000000.0 + 0.5) - is->startTime;
  }
  std::lock_guard<std::mutex> pixels(vp->pixelLock);
  const AVFrame* f = vp->frame;
  if (f && f->width > 0 && f->height > 0) {
    if (!FrameToBitmap(snapshotConv_, f)) {
      std::lock_guard<TBitmap> guard(bitmap);
      bitmap.SetSize(0, 0);
    }
  }
  return &bitmap;
}

TBitmap* TCustomPlayer::Snapshot() {
  int64_t pts;
  return CurrentFrame(pts);
}

TCustomPlayer::TPlayStatistics TCustomPlayer::Statistics() const {
  TPlayback* is = playback_.load();
  if (!is) {
    std::lock_guard<std::mutex> guard(errLock_);
    return lastStatistics_;
  }
  return CollectStatistics(is);
}

TCustomPlayer::TPlayStatistics TCustomPlayer::CollectStatistics(const TPlayback* is) {
  TPlayStatistics s;
  s.picturesShown = is->framesShown;
  s.picturesDroppedLate = is->framesDroppedLate;
  s.picturesSkippedDecode = is->framesSkippedDecode;
  s.audioUnderruns = is->audioUnderruns;
  s.audioDisplayMode = is->audioDisplayMode;
  s.hasAudio = is->hasAudio;
  s.hasVideo = is->hasVideo;
  return s;
}

std::vector<uint32_t> TCustomPlayer::PresentedPixels(int& width, int& height) const {
  std::lock_guard<std::mutex> guard(presentedLock_);
  width = presentedWidth_;
  height = presentedHeight_;
  return presented_;
}
