// Working tables of a transcoding run: opened inputs and outputs, the input
// and output stream entries with their codec contexts, sync state, FIFOs,
// filter graph ends and counters. All of it belongs to one task: set up on
// the caller's thread, used by the task's thread during the run. A run that
// overlaps its stages shares them out by field with its reading thread and
// its encoder threads (stage_pipeline.h, encoder_worker.h); nothing is used
// by two threads at once.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include "engine/option_state.h"
#include "platform/cpu_load.h"
#include "platform/paths.h"

// One opened input file.
struct TInputFile {
  AVFormatContext* Ctx = nullptr;
  std::wstring FileName;
  std::string LibraryName;  // the name handed to the library
  int64_t TsOffset = 0;     // µs added to every timestamp read from the file
  std::vector<double> TsScale;  // per stream index; 0 = no scaling
  int StreamCount = 0;          // streams when the file was opened
  // Per stream, in stream order: the decoder context prepared at opening
  // (parameters, recorded options, thread count) and the decoder forced by
  // name (or null). The run takes ownership of the contexts it opens.
  std::vector<AVCodecContext*> StreamCodecs;
  std::vector<const AVCodec*> ForcedDecoders;
  // The file on disk (not known for other protocols); no output may be it.
  platform::TFileIdentity Identity;
  // Run state.
  int FirstStream = 0;  // index of its first entry in the input-stream table
  bool Eof = false;
  bool NoPacket = false;
  // End of the furthest packet read, µs from the file's start; kNoTime
  // before the first packet with a time.
  int64_t ReadEnd = kNoTime;
};

// One stream of an input file, in file order over all files.
struct TInputStream {
  int FileIndex = 0;
  int StreamIndex = 0;
  AVStream* St = nullptr;
  AVCodecContext* Dec = nullptr;  // owned by the input file's StreamCodecs
  const AVCodec* ForcedDecoder = nullptr;
  bool DecoderOpen = false;
  bool Idle = true;  // until an output stream takes it
  bool DecodingNeeded = false;
  int64_t Pts = 0;              // µs, decoded position
  int64_t NextPts = kNoTime;    // µs
  bool IsStart = true;          // until the first packet / first audio correction
  bool PastRecordingTime = false;
  int64_t Start = 0;            // wall clock at start (µs) with RateEmu
  bool Flushed = false;
  bool WarnedMultipleFrames = false;
  int64_t PtsDtsGap = 0;        // usual pts - dts of the stream's packets (stream time base)
  float Quality = 0;            // quality of the last decoded picture
  // Video filter graph ends and the picture taken from the graph.
  AVFilterGraph* FilterGraph = nullptr;
  AVFilterContext* FilterIn = nullptr;
  AVFilterContext* FilterOut = nullptr;
  AVFrame* FilterFrame = nullptr;
  AVFrame* DecodedFrame = nullptr;  // reused for every decoded frame
};

// One output file. With Join several entries share one context; only the
// first of them owns it (Shared false).
struct TOutputFile {
  AVFormatContext* Ctx = nullptr;
  std::wstring FileName;
  std::string LibraryName;
  bool Shared = false;       // a Join duplicate of an earlier entry
  bool IoOpen = false;       // byte stream opened by us (closed on release)
  bool HeaderWritten = false;
  bool TrailerWritten = false;
  // The trailer went out without an error and the file holds packets: the
  // file is kept when the task is released. Any other output that the task
  // created is removed then, so a failure leaves no partial file.
  bool Complete = false;
  // The file this output created on disk (not known for other protocols);
  // only that very file is ever removed.
  platform::TFileIdentity Created;
  AVDictionary* MuxerOptions = nullptr;  // muxer private options for the header
};

// One stream of an output file, in file order over all files.
struct TOutputStream {
  int FileIndex = 0;
  int Index = 0;  // in its file
  AVStream* St = nullptr;
  AVMediaType Type = AVMEDIA_TYPE_UNKNOWN;
  // The encoder context prepared when the stream was created (also for a
  // copied stream, where it only carries the kind). Owned here.
  AVCodecContext* Enc = nullptr;
  const AVCodec* Encoder = nullptr;  // chosen by name, or null
  AVDictionary* EncoderOptions = nullptr;  // private options handed to the open
  bool StreamCopy = false;
  bool EncodingNeeded = false;
  bool EncoderOpen = false;
  int SourceIndex = -1;  // input-stream table index
  int SyncIndex = -1;
  int64_t FrameNumber = 0;  // frames (packets) written
  int64_t PacketsMuxed = 0;  // packets the muxer accepted
  double SyncOpts = 0;      // frames or samples written, in encoder time-base units
  // Bitstream filters: the chain taken from the option state, and the
  // contexts made from it once the stream's parameters are known.
  std::vector<const AVBitStreamFilter*> BsfChain;
  std::vector<AVBSFContext*> Bsfs;
  AVRational BsfTimeBase = {0, 1};
  // Output clock: end of the last written packet, in seconds.
  double CurrentTime = 0;
  int64_t LastDts = kNoTime;  // stream time base
  // Two-pass.
  FILE* LogFile = nullptr;
  std::string LogFileName;
  std::string StatsIn;  // second-pass statistics, owned (encoder points here)
  // Video.
  bool VideoCrop = false;
  int TopBand = 0, BottomBand = 0, LeftBand = 0, RightBand = 0;
  int OriginalTopBand = 0, OriginalBottomBand = 0, OriginalLeftBand = 0, OriginalRightBand = 0;
  bool VideoResample = false;
  AVFrame* ResampleFrame = nullptr;  // temporary picture in the output format and size
  SwsContext* ImgResampleCtx = nullptr;
  int ResampleWidth = 0, ResampleHeight = 0, ResamplePixFmt = -1;
  int OriginalWidth = 0, OriginalHeight = 0;
  // The encoder's size was the input's, not asked for by the options.
  bool SizeFromInput = false;
  AVRational FrameRate = {25, 1};
  // Audio.
  AVAudioFifo* Fifo = nullptr;
  bool AudioResample = false;
  SwrContext* Resampler = nullptr;
  int ReformatPair = -1;
  int64_t NextAudioPts = 0;  // samples handed to the encoder
  // Subtitles.
  uint8_t* SubtitleBuffer = nullptr;  // av_malloc'd, kSubtitleBufferSize
  bool LastPacketDisplay = false;
  // Working state of the audio/video output paths (output_paths.h).
  std::shared_ptr<struct TStreamPathState> Path;
  // The picture shape the encoder gets with the next picture; a filter
  // graph may change it (read by the output side, which never writes the
  // encoder context while the encoder has a thread of its own).
  AVRational EncoderAspect = {0, 1};
  // The encoder's own thread while the run overlaps its stages, else null
  // (owned by the run).
  class TEncoderWorker* Worker = nullptr;
};

// The failure text of an output stream's encoder.
inline const char* EncodingFailureText(const TOutputStream& ost) {
  return ost.Type == AVMEDIA_TYPE_AUDIO   ? "Audio encoding failed"
         : ost.Type == AVMEDIA_TYPE_VIDEO ? "Video encoding failed"
                                          : "Subtitle encoding failed";
}

inline constexpr int kSubtitleBufferSize = 1048576;
inline constexpr int kInitialBitBufferSize = 262144;

// Task-wide state of one run.
struct TRunState {
  std::vector<TInputStream> InputStreams;
  int BitBufferSize = kInitialBitBufferSize;
  std::vector<AVCodecContext*> OpenedEncoders;
  std::vector<AVCodecContext*> OpenedDecoders;
  // Threads the decoders started, when the run overlaps its stages.
  std::vector<int> DecoderThreads;
  // The machine's and the task's processor time when the run began.
  platform::TCpuSample Began;
  // Counters of the final report.
  int64_t VideoSize = 0, AudioSize = 0, ExtraSize = 0;
  int64_t NbFramesDup = 0, NbFramesDrop = 0;
  bool DupDropChanged = false;
  int64_t TimerStart = 0, LastReportTime = 0;
  int NoPacketCount = 0;
  int64_t QpHistogram[52] = {};
  FILE* VStatsFile = nullptr;
  int64_t HookFrameNumber = 0;
  // Work buffers of the audio path, shared by its streams; only grow.
  uint8_t* AudioBuf = nullptr;
  unsigned AudioBufSize = 0;
  uint8_t* AudioOut = nullptr;
  unsigned AudioOutSize = 0;
  uint8_t* SilenceBuf = nullptr;
  int SilenceBufSize = 0;
  AVPacket* Packet = nullptr;  // reused for reading
  // Working state of the output paths shared by the task's streams
  // (output_paths.h): deinterlacer, hook and preview conversion.
  std::shared_ptr<struct TTaskPathState> Paths;
};
