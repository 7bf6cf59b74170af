#include "media/av_probe.h"

#include <climits>
#include <mutex>

#include "media/ffmpeg_loader.h"
#include "media/ffmpeg_logger.h"
#include "media/library_tables.h"
#include "media/media_text.h"
#include "media/probe_text.h"
#include "media/wide_protocol.h"
#include "platform/paths.h"

namespace {

int64_t KnownOrMinusOne(int64_t value) { return value == AV_NOPTS_VALUE ? -1 : value; }

int32_t ClampToInt32(int64_t value) {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return int32_t(value);
}

// A time base that can be used to convert: a zero denominator becomes the
// numerator, or 1 when that is zero too. The stream itself is left alone,
// since an attached context may be in use by its owner.
AVRational UsableTimeBase(AVRational tb) {
  if (tb.den == 0) tb.den = tb.num != 0 ? tb.num : 1;
  return tb;
}

}  // namespace

TCustomAVProbe::~TCustomAVProbe() { TCustomAVProbe::CloseFile(); }

void TCustomAVProbe::ReportError(int libraryLevel, const std::string& text) {
  lastErrMsg_ = text;
  Log(this, LibraryLevelToLogLevel(libraryLevel), text);
}

void TCustomAVProbe::CheckLibraries() {
  static const struct {
    TLibraryKind kind;
    const char* text;
  } kNeeded[] = {
      {lkAVCodec, "LibAVCodec not loaded."},
      {lkAVFormat, "LibAVFormat not loaded."},
      {lkAVUtil, "LibAVUtil not loaded."},
      {lkSwScale, "LibSwScale not loaded."},
  };
  for (const auto& n : kNeeded) {
    if (!FFLoader().LibraryLoaded(n.kind)) {
      ReportError(AV_LOG_ERROR, n.text);
      throw TAVProbeLibraryError(n.text);
    }
  }
}

bool TCustomAVProbe::LoadFile(const std::wstring& fileName, const std::string& formatName) {
  CheckLibraries();
  CloseFile();

  const AVInputFormat* format = nullptr;
  if (!formatName.empty()) {
    format = lib::av_find_input_format(formatName.c_str());
    if (!format) {
      lastErrMsg_ = "Unknown input format: " + formatName;
      return false;
    }
  }

  AVFormatContext* context = nullptr;
  int ret = OpenInputByLibraryName(&context, ToLibraryFileName(fileName), format, nullptr);
  if (ret < 0) {
    // File names in our texts are UTF-8, like every other text the
    // application shows, so a name the locale cannot hold stays readable.
    ReportError(AV_LOG_ERROR, ErrorText(Utf8(fileName), ret));
    CloseFile();
    return false;
  }
  formatContext_ = context;
  ownsContext_ = true;

  if (lib::avformat_find_stream_info(formatContext_, nullptr) < 0) {
    lastErrMsg_ = Utf8(fileName) + ": could not find codec parameters";
    CloseFile();
    return false;
  }

  UpdateInfo();
  forcedFormat_ = formatName;
  return true;
}

void TCustomAVProbe::AttachContext(AVFormatContext* context) {
  CheckLibraries();
  CloseFile();
  ownsContext_ = false;
  formatContext_ = context;
  UpdateInfo();
}

void TCustomAVProbe::UpdateInfo() {
  fileSize_ = -1;
  streamCount_ = programCount_ = -1;
  audioStreamCount_ = videoStreamCount_ = subtitleStreamCount_ = -1;
  audioStreamIndex_ = videoStreamIndex_ = subtitleStreamIndex_ = -1;
  if (!formatContext_) return;

  int64_t size = formatContext_->pb ? lib::avio_size(formatContext_->pb) : 0;
  if (size > 0) {
    fileSize_ = size;
  } else {
    std::wstring name = FileName();
    fileSize_ = platform::IsExistingFile(name) ? platform::FileSizeOnDisk(name) : size;
  }

  streamCount_ = int32_t(formatContext_->nb_streams);
  programCount_ = int32_t(formatContext_->nb_programs);
  audioStreamCount_ = videoStreamCount_ = subtitleStreamCount_ = 0;
  for (unsigned i = 0; i < formatContext_->nb_streams; ++i) {
    switch (formatContext_->streams[i]->codecpar->codec_type) {
      case AVMEDIA_TYPE_VIDEO:
        ++videoStreamCount_;
        if (videoStreamIndex_ < 0) videoStreamIndex_ = int32_t(i);
        break;
      case AVMEDIA_TYPE_AUDIO:
        ++audioStreamCount_;
        if (audioStreamIndex_ < 0) audioStreamIndex_ = int32_t(i);
        break;
      case AVMEDIA_TYPE_SUBTITLE:
        ++subtitleStreamCount_;
        if (subtitleStreamIndex_ < 0) subtitleStreamIndex_ = int32_t(i);
        break;
      default:
        break;
    }
  }
}

void TCustomAVProbe::CloseFile() {
  forcedFormat_.clear();
  if (formatContext_ && ownsContext_) CloseInputByLibraryName(&formatContext_);
  formatContext_ = nullptr;
  ownsContext_ = false;
  UpdateInfo();
}

std::wstring TCustomAVProbe::FileName() const {
  if (!formatContext_ || !formatContext_->url) return std::wstring();
  return FromLibraryFileName(formatContext_->url);
}

std::string TCustomAVProbe::FormatName() const {
  if (!formatContext_ || !formatContext_->iformat || !formatContext_->iformat->name) return std::string();
  return formatContext_->iformat->name;
}

std::string TCustomAVProbe::FormatLongName() const {
  if (!formatContext_ || !formatContext_->iformat || !formatContext_->iformat->long_name) return std::string();
  return formatContext_->iformat->long_name;
}

TFileStreamInfo TCustomAVProbe::FileStreamInfo() {
  TFileStreamInfo info;
  if (!formatContext_) {
    ReportError(AV_LOG_WARNING, "file not loaded.");
    return info;
  }
  AVFormatContext* ic = formatContext_;
  info.StartTime = KnownOrMinusOne(ic->start_time);
  info.Duration = KnownOrMinusOne(ic->duration);
  info.BitRate = ClampToInt32(ic->bit_rate);

  // The container's time stamp, year and track live in its metadata today;
  // absent ones read as 0, as the container fields did.
  info.TimeStamp = 0;
  std::string created = MetadataValue(ic->metadata, "creation_time", "");
  int64_t us = 0;
  if (!created.empty() && lib::av_parse_time(&us, created.c_str(), 0) == 0 && us > 0)
    info.TimeStamp = us / 1000000;
  std::string year = MetadataValue(ic->metadata, "date", "");
  if (year.empty()) year = MetadataValue(ic->metadata, "year", "");
  info.Year = probetext::LeadingNumber(year.c_str());
  info.Track = probetext::LeadingNumber(MetadataValue(ic->metadata, "track", "").c_str());

  info.Title = MetadataValue(ic->metadata, "title", "");
  info.Author = MetadataValue(ic->metadata, "author", "");
  info.Copyright = MetadataValue(ic->metadata, "copyright", "");
  info.Comment = MetadataValue(ic->metadata, "comment", "");
  info.Album = MetadataValue(ic->metadata, "album", "");
  info.Genre = MetadataValue(ic->metadata, "genre", "");
  return info;
}

AVStream* TCustomAVProbe::StreamFor(int index, int mediaType, TStreamInfoCommon& info) {
  const bool audio = mediaType == AVMEDIA_TYPE_AUDIO;
  if (!formatContext_) {
    ReportError(AV_LOG_WARNING, "file not loaded.");
    return nullptr;
  }
  if (index < 0) {
    index = audio ? audioStreamIndex_ : videoStreamIndex_;
    if (index < 0) {
      ReportError(AV_LOG_ERROR, audio ? "no audio stream." : "no video stream.");
      return nullptr;
    }
  }
  if (index >= int(formatContext_->nb_streams)) {
    ReportError(AV_LOG_ERROR, "stream index #" + std::to_string(index) + " is invalid.");
    return nullptr;
  }
  AVStream* st = formatContext_->streams[index];
  if (st->codecpar->codec_type != mediaType) {
    ReportError(AV_LOG_ERROR, "stream #" + std::to_string(index) +
                                  (audio ? " is not audio stream." : " is not video stream."));
    return nullptr;
  }

  info.Language = MetadataValue(st->metadata, "language", "");
  info.Description = CodecDescription(st->codecpar, false);
  AVRational tb = UsableTimeBase(st->time_base);
  if (st->start_time != AV_NOPTS_VALUE) {
    info.StreamStart = st->start_time;
    info.StartTime = lib::av_rescale_q(st->start_time, tb, AV_TIME_BASE_Q);
  }
  if (st->duration != AV_NOPTS_VALUE) {
    info.StreamDuration = st->duration;
    info.Duration = lib::av_rescale_q(st->duration, tb, AV_TIME_BASE_Q);
  }
  return st;
}

TAudioStreamInfo TCustomAVProbe::AudioStreamInfo(int index) {
  TAudioStreamInfo info;
  AVStream* st = StreamFor(index, AVMEDIA_TYPE_AUDIO, info);
  if (!st) return info;
  const AVCodecParameters* par = st->codecpar;
  info.BitRate = ClampToInt32(par->bit_rate);
  info.Channels = par->ch_layout.nb_channels;
  info.SampleRate = par->sample_rate;
  info.SampleFormat = par->format;
  return info;
}

TVideoStreamInfo TCustomAVProbe::VideoStreamInfo(int index) {
  TVideoStreamInfo info;
  AVStream* st = StreamFor(index, AVMEDIA_TYPE_VIDEO, info);
  if (!st) return info;
  const AVCodecParameters* par = st->codecpar;
  info.BitRate = ClampToInt32(par->bit_rate);
  info.Height = par->height;
  info.Width = par->width;
  info.PixelFormat = par->format;
  // Sample aspect of the coded picture, else the container's. Without one
  // (or without a height) the display aspect is unknown rather than a
  // division by zero.
  AVRational sar = par->sample_aspect_ratio;
  if (sar.num <= 0 || sar.den <= 0) sar = st->sample_aspect_ratio;
  if (sar.num > 0 && sar.den > 0 && par->height > 0)
    info.DisplayAspect = float(av_q2d(sar) * par->width / par->height);
  info.FrameRateNum = st->r_frame_rate.num;
  info.FrameRateDen = st->r_frame_rate.den;
  return info;
}

// ---- TAVProbe ----------------------------------------------------------------

TAVProbe::~TAVProbe() { TAVProbe::CloseFile(); }

void TAVProbe::UpdateInfo() {
  TCustomAVProbe::UpdateInfo();
  preferredStream_ = VideoStreamIndex() >= 0 ? VideoStreamIndex() : AudioStreamIndex();
  startTime_ = 0;
  AVFormatContext* ic = FormatContext();
  if (!ic) return;
  int64_t start = AV_NOPTS_VALUE;
  if (preferredStream_ >= 0)
    start = ic->streams[preferredStream_]->start_time;
  else
    start = ic->start_time;
  if (start != AV_NOPTS_VALUE) startTime_ = start;
}

void TAVProbe::CloseFile() {
  ReleaseDecoding();
  preferredStream_ = -1;
  startTime_ = 0;
  TCustomAVProbe::CloseFile();
}

void TAVProbe::ReleaseDecoding() {
  if (codecContext_) {
    std::lock_guard<std::mutex> guard(CodecLock());
    lib::avcodec_free_context(&codecContext_);
  }
  if (frame_) lib::av_frame_free(&frame_);
  if (pictureBuffer_) lib::av_freep(&pictureBuffer_);
}

void TAVProbe::SetCodecContext(AVCodecContext* context) {
  if (codecContext_ == context) return;
  if (codecContext_) {
    std::lock_guard<std::mutex> guard(CodecLock());
    lib::avcodec_free_context(&codecContext_);
  }
  codecContext_ = context;
}

void TAVProbe::SetFrame(AVFrame* frame) {
  if (frame_ == frame) return;
  if (frame_) lib::av_frame_free(&frame_);
  frame_ = frame;
}

void TAVProbe::SetPictureBuffer(uint8_t* buffer) {
  if (pictureBuffer_ == buffer) return;
  if (pictureBuffer_) lib::av_freep(&pictureBuffer_);
  pictureBuffer_ = buffer;
}
