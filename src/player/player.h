// The preview player: plays one media file at a time inside a window the
// application supplies, with sound, and reports the opened file, the playing
// position and each change of its state.
//
// All operations are called from the main thread. OnFileOpen runs on the
// caller of Open; OnPosition and OnState come from the notification thread,
// in the main thread while TriggerEventInMainThread is true; OnHook runs on
// the video thread. Every wait of the main thread for the player's threads
// serves queued main-thread calls, so a handler never dead-locks a stop.
//
// Threads of one playback: play thread (window, renderer, event loop),
// notification thread, read thread, video thread, subtitle thread, refresh
// thread and SDL's audio thread (see player/playback.h).
// Lock order: playerLock_ before a playback's locks; notifyLock_,
// errLock_ and propLock_ are leaves.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "media/bitmap.h"
#include "media/component_base.h"
#include "media/ffmpeg_logger.h"
#include "media/frame_to_bitmap.h"
#include "platform/event.h"
#include "player/play_events.h"
#include "player/playback.h"

enum TPlayState : int { psPlay, psPause, psResume, psStep, psStop, psEnd };
enum TAudioDriver : int { adDefault, adDirectSound, adWaveOut };
enum TVideoDriver : int { vdDefault, vdDirectDraw, vdGDI };
// A set of the libraries' seek flags.
enum TSeekFlag : int { sfBackward = 1, sfByte = 2, sfAny = 4 };
using TSeekFlags = int;
using TAudioVolume = int;  // 0 … 128

// The native window of the host widget (an X11 window id); 0 for none.
using TScreenHandle = uintptr_t;

using TFileOpenEvent = std::function<void(void* sender, int64_t duration, int frameWidth, int frameHeight,
                                          int& screenWidth, int& screenHeight)>;
using TPositionEvent = std::function<void(void* sender, int64_t pts)>;
using TStateEvent = std::function<void(void* sender, TPlayState state)>;
using THookEvent = std::function<void(void* sender, TBitmap* bitmap, int64_t pts)>;

// Display rectangle of a picture with the given aspect in a surface:
// centred, even sizes, as large as fits.
struct TDisplayRect {
  int x = 0, y = 0, width = 0, height = 0;
};
TDisplayRect DisplayRectangle(int surfaceWidth, int surfaceHeight, double aspect);
// The aspect the picture is shown with: AspectRatio < 0 stretches to the
// surface, > 0 forces it, 0 takes the sample aspect (1 when unknown).
double DisplayAspect(float aspectRatio, int surfaceWidth, int surfaceHeight, AVRational sampleAspect,
                     int pictureWidth, int pictureHeight);

class TCustomPlayer : public TFFBaseComponent {
 public:
  TCustomPlayer();
  ~TCustomPlayer() override;

  // The loader's player set (media libraries and SDL).
  bool LoadAVLib(const std::wstring& folder);
  bool AVLibLoaded() const;

  bool Open(const std::wstring& fileName, TScreenHandle screenHandle, bool paused);
  void Stop(bool waitForEnd);
  void Pause();
  void Resume();
  void TogglePause();
  // PTS in microseconds from the file start (a byte offset with sfByte).
  void Seek(TSeekFlags flags, bool wait, int64_t pts);
  // The picture at the head of the display queue as a 24-bit bitmap: black
  // of the video size before the first picture, 0 x 0 without video. Valid
  // until the next call, the next successful Open or destruction.
  TBitmap* CurrentFrame(int64_t& pts);
  TBitmap* Snapshot();

  // ---- properties (read by the next Open unless noted)
  float AspectRatio() const { return aspectRatio_.load(); }
  void SetAspectRatio(float value);  // redraws an open playback
  TAudioDriver AudioDriver() const { return audioDriver_; }
  void SetAudioDriver(TAudioDriver v) { audioDriver_ = v; }
  TAudioVolume AudioVolume() const { return audioVolume_.load(); }
  void SetAudioVolume(TAudioVolume v) { audioVolume_ = v < 0 ? 0 : v > 128 ? 128 : v; }
  bool DisableAudio() const { return disableAudio_; }
  void SetDisableAudio(bool v) { disableAudio_ = v; }
  bool DisableVideo() const { return disableVideo_; }
  void SetDisableVideo(bool v) { disableVideo_ = v; }
  bool DisableDisplay() const { return disableDisplay_; }
  void SetDisableDisplay(bool v) { disableDisplay_ = v; }
  bool Mute() const { return mute_.load(); }
  void SetMute(bool v) { mute_ = v; }
  int FrameWidth() const { return frameWidth_; }
  void SetFrameWidth(int v) { frameWidth_ = v; }
  int FrameHeight() const { return frameHeight_; }
  void SetFrameHeight(int v) { frameHeight_ = v; }
  bool Hook() const { return hook_.load(); }
  void SetHook(bool v) { hook_ = v; }
  int ScreenWidth() const { return screenWidth_.load(); }
  void SetScreenWidth(int v) { screenWidth_ = v; }
  int ScreenHeight() const { return screenHeight_.load(); }
  void SetScreenHeight(int v) { screenHeight_ = v; }
  bool TriggerEventInMainThread() const { return triggerInMainThread_.load(); }
  void SetTriggerEventInMainThread(bool v) { triggerInMainThread_ = v; }
  TVideoDriver VideoDriver() const { return videoDriver_; }
  void SetVideoDriver(TVideoDriver v) { videoDriver_ = v; }
  static std::string Version() { return "2.3"; }

  TPlayState State() const { return state_.load(); }
  std::string LastErrMsg() const;

  // Handlers; set them while no playback runs.
  void SetOnFileOpen(TFileOpenEvent h) { onFileOpen_ = std::move(h); }
  void SetOnPosition(TPositionEvent h) { onPosition_ = std::move(h); }
  void SetOnState(TStateEvent h) { onState_ = std::move(h); }
  void SetOnHook(THookEvent h) { onHook_ = std::move(h); }

  // What the current (or last) playback counted; for benchmarks and tests.
  struct TPlayStatistics {
    int64_t picturesShown = 0;
    int64_t picturesDroppedLate = 0;    // queued pictures dropped at display
    int64_t picturesSkippedDecode = 0;  // skipped by the decoder-side frame skip
    int64_t audioUnderruns = 0;         // callback turns that found no decoded sound
    int audioDisplayMode = 0;
    bool hasAudio = false, hasVideo = false;
  };
  TPlayStatistics Statistics() const;
  // The whole-surface pixels as last presented (ARGB8888 rows), for tests of
  // what was drawn; empty when no surface is shown.
  std::vector<uint32_t> PresentedPixels(int& width, int& height) const;

 protected:
  struct TNotifier;

  // ---- player.cpp
  void SetLastErrMsg(const std::string& text);
  void RecordError(const std::string& text);  // LastErrMsg and the log
  void QuitSdl();
  static TPlayStatistics CollectStatistics(const TPlayback* is);
  void ResetPlaybackState();
  void RaiseFileOpen();
  void CancelOpenedPaused(TPlayback* is);

  // ---- read_thread.cpp
  bool OpenPlayback(const std::wstring& fileName, bool paused);
  void ReadThread(TPlayback* is);
  int StreamComponentOpen(TPlayback* is, int index);
  void StreamComponentClose(TPlayback* is, int index);
  void ExecuteSeek(TPlayback* is);

  // ---- video_decoder.cpp
  void VideoThread(TPlayback* is);
  int GetVideoFrame(TPlayback* is, AVFrame* frame, AVPacket* pkt, double& pts);
  int QueuePicture(TPlayback* is, AVFrame* frame, double pts, int64_t pos);
  double ComputeTargetTime(TPlayback* is, double framePts);
  void RunHook(TPlayback* is, AVFrame* frame, double pts);

  // ---- video_display.cpp (play thread)
  void RefreshThread(TPlayback* is);
  void AllocatePicture(TPlayback* is);
  void RefreshPictures(TPlayback* is, bool advance);
  void ShowPicture(TPlayback* is);
  int OpenSurface(TPlayback* is, bool force);
  void CloseDisplay();
  void Present();

  // ---- audio_output.cpp
  bool OpenAudioOutput(TPlayback* is);
  void CloseAudioOutput(TPlayback* is);
  static void AudioCallback(void* opaque, Uint8* stream, int len);
  int DecodeAudioBuffer(TPlayback* is);
  int ConvertAudioFrame(TPlayback* is, AVFrame* frame);

  // ---- subtitle_overlay.cpp
  void SubtitleThread(TPlayback* is);
  void ExpireSubtitles(TPlayback* is);
  void FreeSubtitleQueue(TPlayback* is);
  void BlendSubtitle(TPlayback* is, AVFrame* frame, double pts);

  // ---- waveform.cpp
  void ShowWaveform(TPlayback* is);

  // ---- play_control.cpp
  void PlayThread();
  void EventLoop();
  bool HandleWindowEvents(TPlayback* is);
  void SetState(TPlayState state);
  void UpdatePosition(TPlayback* is);
  // With pictures: the decoder has given out its last one and none waits to be shown.
  static bool LastPictureShown(TPlayback* is);
  void TogglePlaybackPause();
  void RequestSeek(TSeekFlags flags, bool wait, int64_t distance, int64_t position);
  void PostEvent(TPlayEventCode code);
  void WaitForStop();
  void ClosePlayback();
  void JoinFinishedThreads();
  void NotifyThread(TNotifier* n);
  void PushNotification(int kind, TPlayState state, int64_t position);
  bool PopNotification(TNotifier& n, int& kind, TPlayState& state, int64_t& position);
  void DeferLog(TLogLevel level, const std::string& text);
  void FlushDeferredLog();

  // ---- properties
  std::atomic<float> aspectRatio_{0};
  TAudioDriver audioDriver_ = adDefault;
  std::atomic<int> audioVolume_{128};
  bool disableAudio_ = false;
  bool disableVideo_ = false;
  bool disableDisplay_ = false;
  std::atomic<bool> mute_{false};
  int frameWidth_ = 0, frameHeight_ = 0;
  std::atomic<bool> hook_{false};
  std::atomic<int> screenWidth_{0}, screenHeight_{0};
  std::atomic<bool> triggerInMainThread_{true};
  TVideoDriver videoDriver_ = vdDefault;
  std::atomic<TPlayState> state_{psPlay};

  TFileOpenEvent onFileOpen_;
  TPositionEvent onPosition_;
  TStateEvent onState_;
  THookEvent onHook_;

  mutable std::mutex errLock_;
  std::string lastErrMsg_;  // guarded by errLock_

  // ---- the playback and its control
  std::timed_mutex playerLock_;
  // The current playback: set by the opener (main thread) before the play
  // thread starts and cleared by ClosePlayback under playerLock_; read by
  // the main thread's operations and by the playback's own threads.
  std::atomic<TPlayback*> playback_{nullptr};
  bool openingDisableVideo_ = false;  // DisableVideo as this Open sees it
  TScreenHandle screenHandle_ = 0;
  bool sdlInitialised_ = false;    // main thread
  bool audioInitialised_ = false;  // main thread; SDL's audio part could start
  std::string audioInitError_;     // main thread; why it could not
  std::atomic<bool> destroying_{false};
  // A closed playback's record, freed by the main thread once the play
  // thread has ended, so the main thread's operations never see it freed.
  std::atomic<TPlayback*> retired_{nullptr};
  std::thread playThread_;
  platform::Event seekDoneEvent_{true};
  platform::Event frameDecodedEvent_{true};
  platform::Event playThreadRunning_{true};
  TPlayEvents events_;
  std::atomic<int64_t> lastPositionReported_{INT64_MIN};
  TPlayStatistics lastStatistics_;  // guarded by errLock_; of the playback that ended last

  // Notification queue: a ring of 10, holding at most 9, and the thread
  // that delivers it; one per playback. A handler on the main thread may
  // stop the playback (and open the next file) while its own notification
  // thread waits for it to return, so an ended playback's notifier lingers
  // until that thread has finished, and the next playback gets a new one.
  static constexpr int kNotifyQueueSize = 10;
  struct TNotification {
    int kind = 0;  // 1 position, 2 state, 3 end of notifications
    TPlayState state = psPlay;
    int64_t position = 0;
  };
  struct TNotifier {
    std::mutex lock;
    TNotification queue[kNotifyQueueSize];  // guarded by lock
    int read = 0, write = 0;                // guarded by lock
    platform::Event notEmpty{false};
    platform::Event ended{false};
    std::thread thread;  // joined by the main thread (JoinFinishedThreads)
  };
  // The current notifier: replaced by Open (main thread) only while no
  // playback thread runs; pushed to by the playback's threads.
  std::unique_ptr<TNotifier> notifier_ = std::make_unique<TNotifier>();
  std::vector<std::unique_ptr<TNotifier>> lingering_;  // main thread only
  std::atomic<int> handlerDepth_{0};                   // handlers now running on the main thread
  // Orders the paused opening's psPause against Resume (a leaf: held only
  // to count and to queue that one notification).
  std::mutex openedPausedLock_;

  // ---- display, play thread only
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  bool windowFromHost_ = false;
  bool ownWindowLogged_ = false;
  std::vector<std::pair<TLogLevel, std::string>> deferredLog_;  // play thread only
  mutable std::mutex presentedLock_;
  std::vector<uint32_t> presented_;               // guarded by presentedLock_
  int presentedWidth_ = 0, presentedHeight_ = 0;  // guarded by presentedLock_
  bool capturePresented_ = false;                 // set before Open by tests

  // ---- converters
  TFrameBitmapConverter snapshotConv_;  // main thread
  TFrameBitmapConverter hookConv_;      // video thread while playing
  friend class TPlayerTestAccess;
};

class TFFPlayer : public TCustomPlayer {
 public:
  using TCustomPlayer::TCustomPlayer;
  // Whether presented pictures are kept for PresentedPixels (tests).
  void SetCapturePresented(bool v) { capturePresented_ = v; }
};
