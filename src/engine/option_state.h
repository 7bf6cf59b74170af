// The option state of a conversion task: pending values that configure the
// next input the task opens, the next output and streams it creates, and the
// transcoding run. Only the task's own thread touches it (the caller's thread
// while the task is set up, the worker while it runs), so it has no lock.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

// File capacity of a task (the component creates tasks with 20) and the
// per-file stream capacity.
inline constexpr int kDefaultFileCapacity = 20;
inline constexpr int kMaxStreams = 20;
inline constexpr int64_t kNoTime = INT64_MIN;
inline constexpr int64_t kUnlimitedTime = INT64_MAX;

// Media type slots of per-kind arrays: video, audio, data, subtitle, attachment
// (the library's own AVMediaType numbering).
inline constexpr int kMediaTypeCount = 5;

struct TStreamMap {
  int32_t File = 0;
  int32_t Stream = 0;
  int32_t SyncFile = 0;
  int32_t SyncStream = 0;
};

struct TMetaDataMap {
  int32_t OutFile = 0;
  int32_t InFile = 0;
};

using TMatrix = std::vector<uint16_t>;  // 64 coefficients

struct TOptionState {
  int32_t StreamIdMap[kMaxStreams] = {};
  std::string FileFormat;
  int32_t FrameWidth = 0;
  int32_t FrameHeight = 0;
  // FrameWidth and FrameHeight are the input's (after its turn, below),
  // not a size the options asked for: an encoder that cannot take that
  // size exactly gets the nearest smaller one it can.
  bool FrameSizeFromInput = false;
  float FrameAspectRatio = 0;
  int32_t FramePixFmt = -1;
  int32_t AudioSampleFmt = -1;
  int32_t FrameTopBand = 0, FrameBottomBand = 0, FrameLeftBand = 0, FrameRightBand = 0;
  int32_t MaxFrames[4] = {0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF};  // video, audio, data, subtitle
  AVRational FrameRate = {0, 0};
  float VideoQScale = 0;
  std::optional<TMatrix> IntraMatrix;
  std::optional<TMatrix> InterMatrix;
  std::optional<std::string> VideoRcOverride;
  bool VideoDisable = false;
  int32_t VideoDiscard = 0;
  std::optional<std::string> VideoCodecName;
  bool VideoStreamCopy = false;
  uint32_t VideoCodecTag = 0;
  std::string VideoLanguage;
  bool SameQuality = false;
  bool Deinterlace = false;
  int32_t TopFieldFirst = -1;
  int32_t MeThreshold = 0;
  int32_t IntraDcPrecision = 8;
  bool LoopInput = false;
  int32_t LoopOutput = -1;
  bool QpHist = false;
  std::string VideoFilters;
  bool IntraOnly = false;
  int32_t AudioSampleRate = 44100;
  float AudioQScale = -99999;
  bool AudioDisable = false;
  int32_t AudioChannels = 2;
  std::optional<std::string> AudioCodecName;
  bool AudioStreamCopy = false;
  uint32_t AudioCodecTag = 0;
  std::string AudioLanguage;
  bool SubtitleDisable = false;
  std::optional<std::string> SubtitleCodecName;
  bool SubtitleStreamCopy = false;
  std::string SubtitleLanguage;
  uint32_t SubtitleCodecTag = 0;
  float MuxPreload = 0.5f;
  float MuxMaxDelay = 0.7f;
  int64_t RecordingTime = kUnlimitedTime;
  int64_t StartTime = 0;
  int64_t RecordingTimestamp = 0;  // seconds since 1970-01-01 UTC
  int64_t InputTsOffset = 0;
  // Per input file (index = file about to be opened) and stream.
  std::vector<std::vector<double>> InputTsScale;
  std::vector<std::pair<std::string, std::string>> Metadata;
  bool HexDump = false, PktDump = false;
  bool DoPsnr = false;
  int32_t DoPass = 0;
  std::string PassLogFilePrefix;
  int32_t VideoSyncMethod = -1;
  int32_t AudioSyncMethod = 0;
  float AudioDriftThreshold = 0.1f;
  bool CopyTs = false;
  bool Shortest = false;
  int32_t VideoGlobalHeader = 0;
  std::optional<std::string> VStatsFileName;
  int32_t ProgramId = 0;
  int32_t CopyInitialNonKeyframes = 0;
  bool RateEmu = false;
  int32_t VideoChannel = 0;
  std::optional<std::string> VideoStandard;
  int32_t AudioVolume = 256;
  bool ExitOnError = false;
  bool InputSync = false;
  int64_t LimitFileSize = 0;
  bool ForceFps = false;
  bool PgmyuvCompat = false;
  float DtsDeltaThreshold = 10;
  int32_t SwsFlags = SWS_BICUBIC;
  // Decoder and encoder threads of the streams that follow; 0 = the
  // library's automatic count.
  int32_t Threads = 0;
  std::vector<TStreamMap> StreamMaps;
  std::vector<TMetaDataMap> MetaDataMaps;
  // Bitstream filters in option order; a stream takes its kind's chain when
  // it is created. Contexts are made when the stream's parameters are known.
  std::vector<const AVBitStreamFilter*> VideoBsfChain, AudioBsfChain, SubtitleBsfChain;
  // Set once a video hook was added (option vhook).
  bool VideoHookAdded = false;
  // Set once a target preset was applied (option target): the target
  // decides about interlaced coding, not the automatic deinterlacing.
  bool TargetApplied = false;
};

// Storage for options that go to the libraries' own option tables. Holds one
// codec context per media type, a format context and a scaler context; they
// only keep values that are copied into the real contexts later. Private
// options of encoders and muxers (which no generic context publishes) are
// kept as dictionaries and handed over when the codec or muxer opens.
class TOptionContext {
 public:
  TOptionContext();  // requires the converter libraries
  ~TOptionContext();
  TOptionContext(const TOptionContext&) = delete;
  TOptionContext& operator=(const TOptionContext&) = delete;

  std::vector<std::string> RecordedOptionNames;
  // (context, name) for every generic option value actually set on that
  // context, so that copying a recorded name takes only values the user
  // gave for that kind (an audio bit rate must not replace a video
  // encoder's own default).
  std::vector<std::pair<const void*, std::string>> SetOn;
  AVCodecContext* Codec[kMediaTypeCount] = {};
  AVFormatContext* Format = nullptr;
  SwsContext* Scaler = nullptr;
  AVDictionary* EncoderPrivate[kMediaTypeCount] = {};  // by the encoder's media type
  AVDictionary* MuxerPrivate = nullptr;
};
