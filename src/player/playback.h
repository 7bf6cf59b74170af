// One playback of the player: the open input, its chosen streams, the
// packet queues, the picture queue, the audio state, the subtitle queue and
// the timing. Made by the opener, filled by the read thread, closed by the
// play thread (player/play_control.cpp).
//
// Threads and what they own:
//   read thread      the input, the three decoders' open and close, the queues' producer
//   video thread     the video decoder, the write side of the picture queue
//   subtitle thread  the subtitle decoder, the write side of the subtitle queue
//   SDL audio thread the audio decoder, the audio buffers and the audio clock
//   play thread      the window, the renderer, every texture, the read side of the
//                    picture and subtitle queues
//   main thread      requests: pause, seek, abort; snapshots
//
// Lock order: the player lock (TCustomPlayer) before pictLock or subLock;
// an entry's pixelLock is taken after pictLock or alone; packet queue locks
// and the event locks are leaves. No lock here is held while logging or
// raising an event.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "media/library_tables.h"
#include "player/packet_queue.h"

class TCustomPlayer;

// Queue limits of the read thread.
inline constexpr int64_t kMaxQueueBytes = 15 * 1024 * 1024;
inline constexpr int64_t kMinAudioQueueBytes = 320 * 1024;
inline constexpr int kMinFramesQueued = 5;
// Entries of the picture queue and the subtitle queue.
inline constexpr int kPictureQueueSize = 2;
inline constexpr int kSubtitleQueueSize = 4;
// Timing of the picture path (seconds unless noted).
inline constexpr double kSyncThreshold = 0.01;
inline constexpr double kNoSyncThreshold = 10.0;
inline constexpr double kLatePictureTolerance = 0.5;
inline constexpr float kFrameSkipFactor = 0.05f;
inline constexpr int kRefreshPeriodMs = 5;
inline constexpr int kWaveformRefreshPeriodMs = 20;
// Audio output.
inline constexpr int kAudioCallbackSamples = 1024;
// The sound of a playback with pictures starts with its first picture, so
// that both start together instead of the pictures starting behind the
// sound clock and being dropped to catch up; a video stream that shows
// nothing for this long (µs) does not hold the sound back any longer.
inline constexpr int64_t kFirstPictureWait = 1000000;
inline constexpr int kSilenceBytes = 1024;
inline constexpr int kSampleRingSize = 131072;

// Requests of the play thread's event loop.
enum TPlayEventCode : int {
  kAllocatePictureEvent = 24,
  kRefreshEvent = 25,
  kQuitEvent = 26,
  kReopenSurfaceEvent = 27,
};

// One picture-queue entry. The texture is made, filled and freed on the
// play thread only; the frame carries the picture's pixels (planar 4:2:0).
struct TVideoPicture {
  // guarded by pictLock
  double pts = 0;             // presentation time, seconds
  double target = 0;          // wall-clock time (seconds) at which it is due
  int64_t pos = -1;           // byte position of its packet
  int width = 0, height = 0;  // texture size (even)
  bool allocated = false;
  AVRational sampleAspect{0, 1};

  std::mutex pixelLock;            // taken after pictLock or alone
  AVFrame* frame = nullptr;        // guarded by pixelLock
  bool uploaded = false;           // guarded by pixelLock: the texture holds frame
  SDL_Texture* texture = nullptr;  // play thread only (made and freed there)
};

// One decoded subtitle, palette already in (alpha, Y, U, V).
struct TSubPicture {
  double pts = 0;
  AVSubtitle sub{};
  bool used = false;
};

struct TPlayback {
  TPlayback() = default;
  TPlayback(const TPlayback&) = delete;
  TPlayback& operator=(const TPlayback&) = delete;

  TCustomPlayer* owner = nullptr;

  // ---- threads (started and joined as their owners say)
  std::thread readThread;      // joined by ClosePlayback / the opener
  std::thread refreshThread;   // joined by ClosePlayback
  std::thread videoThread;     // joined by the read thread when it closes the stream
  std::thread subtitleThread;  // likewise

  // ---- control, written by the main thread and polled by the others
  std::atomic<bool> abortRequest{false};
  std::atomic<bool> paused{false};
  bool lastPaused = false;  // read thread only
  std::atomic<bool> seekRequest{false};
  // Written before seekRequest is set, read after it was seen (release/acquire).
  int seekFlags = 0;
  int64_t seekPos = 0;
  int64_t seekRel = 0;
  std::atomic<int> readPauseResult{0};
  std::atomic<int> openStatus{0};  // 0 opening, 1 opened, -1 failed, -2 failed and cleaned up

  // ---- input (read thread; fixed once openStatus is 1)
  AVFormatContext* ic = nullptr;
  std::wstring fileName;
  int64_t startTime = 0;  // µs, 0 when unknown
  int64_t duration = -1;  // µs, -1 when unknown
  bool imageSequence = false;
  bool captureInput = false;

  // ---- streams (fixed while the streams are open; the indices are read by
  // the play thread while the read thread closes the streams)
  std::atomic<int> audioStream{-1}, videoStream{-1}, subtitleStream{-1};
  AVStream* audioSt = nullptr;
  AVStream* videoSt = nullptr;
  AVStream* subtitleSt = nullptr;
  AVCodecContext* audioCtx = nullptr;     // SDL audio thread after open
  AVCodecContext* videoCtx = nullptr;     // video thread after open
  AVCodecContext* subtitleCtx = nullptr;  // subtitle thread after open
  TPacketQueue audioq, videoq, subtitleq;
  std::atomic<int64_t> audioDuration{-1};  // µs
  std::atomic<bool> hasAudio{false};       // an audio stream is open
  std::atomic<bool> hasVideo{false};       // a video stream is open
  std::atomic<int> decoderWidth{0}, decoderHeight{0};

  // ---- audio (SDL audio thread, see player/audio_output.cpp)
  SDL_AudioDeviceID audioDevice = 0;
  int audioRate = 0, audioChannels = 0;
  uint8_t* audioBuf = nullptr;   // the current buffer (converted or silence)
  uint8_t* audioBuf1 = nullptr;  // converted samples (av_malloc, grows)
  unsigned audioBuf1Size = 0;
  uint8_t silence[kSilenceBytes] = {};
  std::atomic<int> audioBufSize{0};   // bytes
  std::atomic<int> audioBufIndex{0};  // bytes
  AVPacket* audioPkt = nullptr;
  AVFrame* audioFrame = nullptr;
  SwrContext* swr = nullptr;
  int swrFormat = -1, swrRate = 0;
  AVChannelLayout swrLayout{};
  bool audioPacketPending = false;  // audioPkt still to be sent to the decoder
  bool audioStarted = false;        // the first sound was decoded
  std::atomic<double> audioClock{0};
  std::atomic<int> audioHwBufSize{0};
  std::atomic<int64_t> lastCallbackTime{0};  // µs, av_gettime()
  // The sound clock at the end of what the last callback handed to the
  // device, and when (µs, av_gettime(); 0 before the first callback).
  mutable std::mutex handedLock;
  double handedClock = 0;  // guarded by handedLock
  int64_t handedAt = 0;    // guarded by handedLock
  int64_t openedAt = 0;  // µs, av_gettime(); set before the playback's threads start

  // ---- pictures (see player/video_decoder.cpp)
  std::array<TVideoPicture, kPictureQueueSize> pictq;
  std::mutex pictLock;
  std::condition_variable pictCond;
  int pictqSize = 0;    // guarded by pictLock
  int pictqRindex = 0;  // guarded by pictLock
  int pictqWindex = 0;  // guarded by pictLock
  // Timing, guarded by pictLock.
  double frameTimer = 0;
  // The frame timer starts again with the first picture queued after the
  // opening or a flush: decoding that first picture takes time, and targets
  // counted from before it would be past already.
  bool frameTimerStarted = false;
  double frameLastPts = 0;
  double frameLastDelay = 0;
  double currentPts = 0;
  double currentPtsDrift = 0;
  int64_t currentPos = -1;
  float skipFactor = 1.0f;
  float skipCounter = 0;
  std::atomic<double> videoClock{0};
  bool shownSinceFlush = false;  // guarded by pictLock: a picture was shown after the last flush
  int shownIndex = -1;           // guarded by pictLock: the entry shown last, -1 none
  std::atomic<bool> refreshPending{false};
  std::atomic<int64_t> framesShown{0};
  std::atomic<int64_t> framesDroppedLate{0};
  std::atomic<int64_t> framesSkippedDecode{0};
  std::atomic<int64_t> audioUnderruns{0};
  // Video thread only.
  int64_t faultyPts = 0, faultyDts = 0, lastPtsForFault = INT64_MIN, lastDtsForFault = INT64_MIN;
  SwsContext* toYuv420 = nullptr;
  bool videoDrained = false;  // the decoder was told the input ended
  // The decoder gave out its last picture after the end of the input (set
  // by the video thread, cleared by a flush or new input).
  std::atomic<bool> videoEnded{false};

  // ---- subtitles (see player/subtitle_overlay.cpp)
  std::array<TSubPicture, kSubtitleQueueSize> subpq;
  std::mutex subLock;
  std::condition_variable subCond;
  int subpqSize = 0, subpqRindex = 0, subpqWindex = 0;  // guarded by subLock
  bool subtitleStreamChanged = false;                   // guarded by subLock

  // ---- display (play thread)
  int surfaceWidth = 0, surfaceHeight = 0;
  int left = 0, top = 0;
  std::atomic<int> audioDisplayMode{0};  // 0 none, 1 waveform
  // Written by the audio thread, read by the play thread without a lock:
  // a torn picture of the wave costs one drawn frame, so relaxed atomics do.
  std::array<std::atomic<int16_t>, kSampleRingSize> sampleRing{};
  std::atomic<int> sampleRingIndex{0};
  int lastWaveStart = 0;  // play thread

  // ---- end and seek bookkeeping
  std::atomic<bool> readErrorReported{false};
  std::atomic<bool> readEof{false};  // the reader met the end of the input
  std::atomic<bool> endReached{false};
  std::atomic<bool> endReported{false};
  std::atomic<bool> insideRead{false};
  std::atomic<int> openedPaused{0};
  std::atomic<bool> pausedBeforeSeek{false};
  std::atomic<bool> seekDone{false};
  std::atomic<bool> videoFlushSeen{false};

  // Video clock "now": the picture time while paused, else the drifting
  // clock of the shown picture, else the start time.
  double VideoClockNow();
  double VideoClockNowLocked() const;  // pictLock held
  // The audio clock minus what SDL still has to play.
  double AudioClockNow() const;
  double AudioBytesPerSecond() const;
  // The sound clock at the end of what has been handed to the device.
  double HandedOverClock() const;
  // While true the sound callback plays silence and the sound clock stands.
  bool SoundWaitsForFirstPicture() const;
  double MasterClock();
};
