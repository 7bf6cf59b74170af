// Overlapped stages of one run. The reading side of a task (demuxing,
// timestamp correction, decoding, pre-processing, the filter graph) runs on
// a thread of its own and hands what the outputs need (pictures, sound,
// subtitles, packets to copy, stream ends) to the task's thread through a
// bounded queue, in the order it produced them. The output side (frame-rate
// and sound synchronisation, scaling, resampling, encoding, muxing, the
// report) handles each item exactly as the one-thread loop does at that
// point, so the files come out the same; the decoder's threads meanwhile
// work ahead instead of waiting for the encoders.
//
// Who touches what while both sides run: the reading side owns the input
// files, the input streams' decoding fields (Pts, NextPts, Flushed, the
// filter graph ends, DecodedFrame, Quality) and the task's deinterlacer and
// hook state; the output side owns the output files and streams, the
// counters of the report and the preview state. An item carries the values
// of the reading side that the output side needs (the stream's position,
// the picture's quality and number).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
}

// How far the reading side may run ahead of the output side. Pictures
// decide the memory: each queued one keeps a decoded picture alive (3 MB at
// 1080p). Two are enough here: the decoder's own threads hold more.
inline constexpr int kStageQueuePictures = 2;
// Items of any kind waiting: sound frames (about 47 a second), packets to
// copy, subtitles.
inline constexpr int kStageQueueItems = 64;
// Frames waiting for an encoder's own thread (encoder_worker.h): prepared
// pictures, and sound frames of the encoder's frame size. The pictures are
// the slack that keeps the processors busy while the picture encoder waits
// on itself (its threads on each other): the output side prepares the next
// ones meanwhile. They are bounded by their memory, kEncoderQueueBytes
// (eight 720p pictures, four at 1080p), and never fewer than
// kEncoderQueueMinPictures; at the end of the input the encoder works
// through them with nothing beside it, so more would not help either.
inline constexpr int kEncoderQueueBytes = 12 * 1024 * 1024;
inline constexpr int kEncoderQueueMinPictures = 2;
inline constexpr int kEncoderQueueMaxPictures = 8;
inline constexpr int kEncoderQueueFrames = 16;
// The threads that prepare work (reading, the decoders' threads, the sound
// encoders) run this much nicer than the task's other threads, so that
// they take the processors when the picture encoder leaves them idle
// rather than when it could use them: that keeps both busy.
inline constexpr int kHelperNicenessStep = 10;
// Niceness alone leaves a processor that runs a helper "busy" to the
// scheduler, so the picture encoder's own threads, woken several times a
// picture, pile up on the other processor. In the idle scheduling class
// the helpers leave such a processor free at once. But its threads get
// next to nothing while other programs keep every processor busy: the
// whole run would crawl behind its starved reading side. So a run keeps
// watching the load of other programs (helper_class.h): its helpers go to
// the idle class while other programs together use less than
// kQuietMachineCores processors, first judged over kIdleClassSampleMs from
// the set-up on (the processors' busy time is counted in ticks, so a
// shorter span would not tell), then over every kLoadWindowMs; they come
// back once other programs use kBusyMachineCores or more. A thread cannot
// leave that class without privileges, so a process that may not bring
// them back never sends them there. The output side, waiting for an item,
// looks at the load every kLoadWatchSliceMs.
inline constexpr int kIdleClassSampleMs = 150;
inline constexpr int kLoadWindowMs = 500;
inline constexpr int kLoadWatchSliceMs = 100;
inline constexpr double kQuietMachineCores = 0.25;
inline constexpr double kBusyMachineCores = 0.5;

// Where the helper threads of an overlapped run go (TCustomFFmpeg::HelperClass).
enum class THelperClass {
  IdleWhenQuiet,  // the idle class while the machine is quiet, else only nicer (default)
  Idle,           // the idle class at once, whatever the load (for measurements)
  Nicer,          // only nicer
};

// Pictures of the encoder's size and format that an encoder's thread may
// hold (the bounds above).
int EncoderQueuePictures(const AVCodecContext* enc);

enum class TStageKind {
  Picture,       // a decoded (pre-processed, filtered) picture for the stream's encoding outputs
  Samples,       // decoded sound for the stream's encoding outputs
  Subtitle,      // a decoded subtitle for the stream's encoding outputs
  CopiedPacket,  // a packet for the stream's copying outputs
  StreamEnd,     // the input stream ended: its outputs' paths and encoders give up the rest
  InputEnd,      // the reading side is done
  Failure,       // the reading side failed with Error
};

struct TStageItem {
  TStageKind Kind = TStageKind::InputEnd;
  int Input = -1;              // index in the run's input-stream table
  AVFrame* Frame = nullptr;    // Picture, Samples
  AVPacket* Packet = nullptr;  // CopiedPacket
  AVSubtitle Subtitle{};       // Subtitle
  int64_t Pts = 0;             // µs: the input stream's position when the item was made
  int64_t FrameNumber = 0;     // pictures decoded in the task so far (hooks, preview)
  float Quality = 0;           // the decoder's quality of the picture
  bool Filtered = false;       // the picture came out of the filter graph
  std::exception_ptr Error;    // Failure
};

// An item that owns what it carries: references of its own to the frame and
// the packet of `borrowed`, and the subtitle taken from `subtitle` (left
// empty), so that the reading side may reuse its buffers at once. Throws
// FFmpegException when out of memory.
TStageItem OwnedStageItem(const TStageItem& borrowed, AVSubtitle* subtitle);
// Frees what an owning item carries.
void FreeStageItem(TStageItem& item);

// Thrown on the reading side when the output side closed the queue (it
// failed or was torn down): the reading side ends without finishing.
struct TStageQueueClosed {};

// The bounded queue between the two sides. One thread pushes, one pops.
// Both wait on the queue's own lock only; nothing calls out under it.
class TStageQueue {
 public:
  TStageQueue() = default;
  TStageQueue(const TStageQueue&) = delete;
  TStageQueue& operator=(const TStageQueue&) = delete;
  ~TStageQueue();  // frees what is left

  // Appends an owning item, waiting while the queue is full. Once the queue
  // is closed the item is freed and false returned.
  bool Push(TStageItem item);
  // Takes the oldest item, waiting while there is none; false once closed.
  bool Pop(TStageItem& item);
  // Likewise, but waits at most `wait`.
  enum class TPopped { Item, TimedOut, Closed };
  TPopped PopFor(TStageItem& item, std::chrono::milliseconds wait);
  // Both sides return at once from now on; what is queued is freed.
  void Close();

 private:
  bool FullFor(TStageKind kind) const;  // under lock_
  void TakeFront(TStageItem& item);      // under lock_, with an item there

  std::mutex lock_;
  std::condition_variable pushed_;
  std::condition_variable popped_;
  std::deque<TStageItem> items_;  // guarded by lock_
  int pictures_ = 0;              // guarded by lock_
  bool closed_ = false;           // guarded by lock_
};
