// The media probe: opens a media file (or takes over a format context that
// someone else opened) and reports what it holds, as records for programs
// and as a multi-line English text for people.
//
// A probe belongs to one thread at a time. It calls into the media libraries
// only while a file is loaded or while loading one, and raises
// TAVProbeLibraryError from LoadFile/AttachContext when the codec, format,
// utility or scaler library is not loaded.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "media/component_base.h"

struct AVFormatContext;
struct AVCodecContext;
struct AVFrame;
struct AVStream;
struct AVDictionary;

struct TFileStreamInfo {
  int64_t StartTime = -1;  // µs, -1 when unknown
  int64_t Duration = -1;   // µs, -1 when unknown
  int32_t BitRate = -1;    // bit/s
  int64_t TimeStamp = -1;  // seconds since 1970-01-01 (container creation time), 0 when absent
  int32_t Year = -1;
  int32_t Track = -1;
  std::string Title;
  std::string Author;
  std::string Copyright;
  std::string Comment;
  std::string Album;
  std::string Genre;
};

// The fields both stream records start with.
struct TStreamInfoCommon {
  std::string Language;        // stream metadata "language"
  std::string Description;     // CodecDescription of the stream's decoder
  int64_t StreamStart = -1;    // in the stream's time base
  int64_t StartTime = -1;      // µs
  int64_t StreamDuration = -1; // in the stream's time base
  int64_t Duration = -1;       // µs
};

struct TAudioStreamInfo : TStreamInfoCommon {
  int32_t BitRate = -1;     // bit/s
  int32_t Channels = -1;
  int32_t SampleRate = -1;  // Hz
  int32_t SampleFormat = -1;  // AVSampleFormat
};

struct TVideoStreamInfo : TStreamInfoCommon {
  int32_t BitRate = -1;  // bit/s
  int32_t Height = -1;   // note: Height before Width, as in the record layout
  int32_t Width = -1;
  float DisplayAspect = -1.0f;  // sample aspect × width ÷ height
  int32_t PixelFormat = -1;     // AVPixelFormat
  int32_t FrameRateNum = -1;    // the stream's real base frame rate
  int32_t FrameRateDen = -1;
};

// Raised when a library the probe needs is not loaded.
class TAVProbeLibraryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TCustomAVProbe : public TFFBaseComponent {
 public:
  TCustomAVProbe() = default;
  ~TCustomAVProbe() override;

  // Opens and analyses the file; FormatName forces an input format when not
  // empty. A failure leaves the probe unloaded, whatever was loaded before.
  bool LoadFile(const std::wstring& fileName, const std::string& formatName = std::string());
  // Takes over a context opened by someone else, without owning it: the
  // caller keeps it alive until CloseFile, the next load or destruction.
  virtual void AttachContext(AVFormatContext* context);
  // Recomputes size, counts and indexes from the context.
  virtual void UpdateInfo();
  // Releases the file (an attached context is only forgotten).
  virtual void CloseFile();

  AVFormatContext* FormatContext() const { return formatContext_; }
  bool OwnsContext() const { return ownsContext_; }
  const std::string& LastErrMsg() const { return lastErrMsg_; }
  const std::string& ForcedFormat() const { return forcedFormat_; }

  std::wstring FileName() const;
  std::string FormatName() const;
  std::string FormatLongName() const;

  int64_t FileSize() const { return fileSize_; }
  int32_t StreamCount() const { return streamCount_; }
  int32_t ProgramCount() const { return programCount_; }
  int32_t AudioStreamCount() const { return audioStreamCount_; }
  int32_t VideoStreamCount() const { return videoStreamCount_; }
  int32_t SubtitleStreamCount() const { return subtitleStreamCount_; }
  int32_t AudioStreamIndex() const { return audioStreamIndex_; }
  int32_t VideoStreamIndex() const { return videoStreamIndex_; }
  int32_t SubtitleStreamIndex() const { return subtitleStreamIndex_; }

  TFileStreamInfo FileStreamInfo();
  // Any negative index means the first stream of that kind.
  TAudioStreamInfo AudioStreamInfo(int index = -1);
  TVideoStreamInfo VideoStreamInfo(int index = -1);

  // The readable description; lines end in "\r\n". Empty when nothing is loaded.
  std::string InfoText();

 protected:
  // Logs Text with the probe as sender at the logger level matching the
  // library level (16 error, 24 warning) and keeps it as LastErrMsg.
  void ReportError(int libraryLevel, const std::string& text);
  // Raises TAVProbeLibraryError for the first missing library.
  void CheckLibraries();

 private:
  // Common part of the stream queries: checks and fills the shared fields.
  // Returns the stream, or nullptr after reporting why there is none.
  AVStream* StreamFor(int index, int mediaType, TStreamInfoCommon& info);
  std::string StreamLine(unsigned index) const;
  std::string MetadataBlock(const AVDictionary* metadata, const std::string& prefix) const;

  AVFormatContext* formatContext_ = nullptr;
  bool ownsContext_ = false;
  std::string lastErrMsg_;
  std::string forcedFormat_;
  int64_t fileSize_ = -1;
  int32_t streamCount_ = -1;
  int32_t programCount_ = -1;
  int32_t audioStreamCount_ = -1;
  int32_t videoStreamCount_ = -1;
  int32_t subtitleStreamCount_ = -1;
  int32_t audioStreamIndex_ = -1;
  int32_t videoStreamIndex_ = -1;
  int32_t subtitleStreamIndex_ = -1;
};

// The probe the application, the engine and the player create. It adds a
// decoding state (released with the file, its codec context closed under
// CodecLock()) and the preferred stream: the first video stream, else the
// first audio stream, else -1.
class TAVProbe : public TCustomAVProbe {
 public:
  TAVProbe() = default;
  ~TAVProbe() override;

  void UpdateInfo() override;
  void CloseFile() override;

  int32_t PreferredStream() const { return preferredStream_; }
  // Start of the preferred stream in its time base; the file's start time
  // (µs) when there is no such stream; 0 when unknown.
  int64_t StartTime() const { return startTime_; }

  // Decoding state kept for the users of the probe; owned by the probe.
  AVCodecContext* CodecContext() const { return codecContext_; }
  void SetCodecContext(AVCodecContext* context);
  AVFrame* Frame() const { return frame_; }
  void SetFrame(AVFrame* frame);
  uint8_t* PictureBuffer() const { return pictureBuffer_; }
  void SetPictureBuffer(uint8_t* buffer);  // allocated with av_malloc

 private:
  void ReleaseDecoding();

  AVCodecContext* codecContext_ = nullptr;
  AVFrame* frame_ = nullptr;
  uint8_t* pictureBuffer_ = nullptr;
  int32_t preferredStream_ = -1;
  int64_t startTime_ = 0;
};
