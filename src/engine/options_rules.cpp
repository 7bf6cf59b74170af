// The rules shared by several options: bit rate, aspect, crop, codec, tag,
// matrix, bitstream filter, stream map and frame size.
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "engine/custom_ffmpeg.h"
#include "engine/engine_util.h"
#include "media/ffmpeg_logger.h"
#include "media/library_tables.h"

using engine::Format;

namespace {

// A value the option cannot take; the message is for users, so it names
// the option, never a place in the source.
[[noreturn]] void AssertionFailed(const char* message) { throw FFmpegException(message); }

void SetCodecName(std::optional<std::string>& name, bool& copy, const std::string& value) {
  if (value.empty()) return;
  name.reset();
  if (value == "copy")
    copy = true;
  else
    name = value;
}

}  // namespace

void TCustomFFmpeg::ParseBitRate(const std::string& name, const std::string& value) {
  if (!SetGenericOption(name, value)) return;
  AVCodecContext* ctx = optionContext_->Codec[name[0] == 'a' ? AVMEDIA_TYPE_AUDIO : AVMEDIA_TYPE_VIDEO];
  int64_t bitRate = 0;
  lib::av_opt_get_int(ctx, "b", 0, &bitRate);
  if (bitRate < 1000)
    Log(this, llWarning,
        "WARNING: The bitrate parameter is set too low. It takes bits/s as argument, not kbits/s");
}

void TCustomFFmpeg::ParseAspect(const std::string& value) {
  if (value.empty()) return;
  double ratio = 0;
  size_t colon = value.find(':');
  if (colon != std::string::npos) {
    long x = std::strtol(value.substr(0, colon).c_str(), nullptr, 10);
    long y = std::strtol(value.substr(colon + 1).c_str(), nullptr, 10);
    if (y > 0) ratio = double(x) / double(y);
  } else {
    ratio = std::strtod(value.c_str(), nullptr);
  }
  if (ratio == 0) throw FFmpegException("Incorrect aspect ratio specification.");
  opt_.FrameAspectRatio = float(ratio);
}

void TCustomFFmpeg::ParseCrop(const std::string& name, const std::string& value) {
  int32_t v = engine::StrToInt(value);
  if (v <= 0) return;
  bool vertical = name == "croptop" || name == "cropbottom";
  if (vertical ? v >= opt_.FrameHeight : v >= opt_.FrameWidth)
    throw FFmpegException(
        std::string(vertical ? "Vertical" : "Horizontal") +
        " crop dimensions are outside the range of the original image.\nRemember to crop first and scale second.");
  Log(this, llWarning, "CropXXX is deprecated in favor of the crop avfilter");
  if (name == "croptop") opt_.FrameTopBand = v;
  else if (name == "cropbottom") opt_.FrameBottomBand = v;
  else if (name == "cropleft") opt_.FrameLeftBand = v;
  else opt_.FrameRightBand = v;
  if (vertical)
    opt_.FrameHeight -= v;
  else
    opt_.FrameWidth -= v;
}

void TCustomFFmpeg::ParseTag(const std::string& name, const std::string& value) {
  if (value.empty()) return;
  if (value.size() != 4) {
    if (name == "atag") AssertionFailed("audio tag parameter must be 4 chars");
    if (name == "vtag") AssertionFailed("video tag parameter must be 4 chars");
    AssertionFailed("subtitle tag parameter must be 4 chars");
  }
  uint32_t tag = uint32_t((unsigned char)value[0]) | uint32_t((unsigned char)value[1]) << 8 |
                 uint32_t((unsigned char)value[2]) << 16 | uint32_t((unsigned char)value[3]) << 24;
  if (name == "atag") opt_.AudioCodecTag = tag;
  else if (name == "vtag") opt_.VideoCodecTag = tag;
  else opt_.SubtitleCodecTag = tag;
}

void TCustomFFmpeg::ParseMatrix(const std::string& name, const std::string& value) {
  std::optional<TMatrix>& matrix = name == "intra_matrix" ? opt_.IntraMatrix : opt_.InterMatrix;
  matrix = TMatrix(64, 0);
  const char* p = value.c_str();
  for (int i = 0; i < 64; ++i) {
    (*matrix)[size_t(i)] = uint16_t(std::atoi(p));
    if (i == 63) break;
    p = std::strchr(p, ',');
    if (!p) throw FFmpegException(Format("Syntax error in matrix \"%s\" at coeff %d", value.c_str(), i));
    ++p;
  }
}

void TCustomFFmpeg::ParseBitstreamFilter(const std::string& name, const std::string& value) {
  if (value.empty() || value[0] == '=') return;
  std::string filterName = value.substr(0, value.find('='));
  const AVBitStreamFilter* filter = lib::av_bsf_get_by_name(filterName.c_str());
  if (!filter) throw FFmpegException(Format("Unknown bitstream filter %s", engine::Trim(filterName).c_str()));
  if (name[0] == 'v')
    opt_.VideoBsfChain.push_back(filter);
  else if (name[0] == 'a')
    opt_.AudioBsfChain.push_back(filter);
  else
    opt_.SubtitleBsfChain.push_back(filter);
}

void TCustomFFmpeg::ParseStreamMap(const std::string& value) {
  if (int(opt_.StreamMaps.size()) >= fileCapacity_ * kMaxStreams)
    throw FFmpegException(Format("Too many stream maps (at most %d)", fileCapacity_ * kMaxStreams));
  TStreamMap m;
  const char* p = value.c_str();
  char* end = nullptr;
  m.File = int32_t(std::strtol(p, &end, 0));
  if (*end) ++end;
  m.Stream = int32_t(std::strtol(end, &end, 0));
  if (*end) {
    ++end;
    m.SyncFile = int32_t(std::strtol(end, &end, 0));
    if (*end) ++end;
    m.SyncStream = int32_t(std::strtol(end, &end, 0));
  } else {
    m.SyncFile = m.File;
    m.SyncStream = m.Stream;
  }
  opt_.StreamMaps.push_back(m);
}

// The frame-size grammar the option dialog relies on: an abbreviation
// ("vga", "cif" ...), or a width, one separator character of any kind and a
// height, with anything after the height ignored ("320*240 (PSP)" works).
void TCustomFFmpeg::ParseFrameSize(const std::string& value) {
  if (value.empty()) return;
  int width = 0, height = 0;
  if (!std::isdigit((unsigned char)value[0])) {
    if (lib::av_parse_video_size(&width, &height, value.c_str()) < 0) width = height = 0;
  } else {
    const char* p = value.c_str();
    char* end = nullptr;
    long w = std::strtol(p, &end, 10);
    if (*end) ++end;
    long h = std::strtol(end, &end, 10);
    if (w > 0 && h > 0 && w < 65536 && h < 65536) {
      width = int(w);
      height = int(h);
    }
  }
  if (width <= 0 || height <= 0) throw FFmpegException("Incorrect frame size");
  opt_.FrameWidth = width;
  opt_.FrameHeight = height;
  opt_.FrameSizeFromInput = false;
}

void TCustomFFmpeg::SetAudioCodec(const std::string& name) {
  SetCodecName(opt_.AudioCodecName, opt_.AudioStreamCopy, name);
}
void TCustomFFmpeg::SetVideoCodec(const std::string& name) {
  SetCodecName(opt_.VideoCodecName, opt_.VideoStreamCopy, name);
}
void TCustomFFmpeg::SetSubtitleCodec(const std::string& name) {
  SetCodecName(opt_.SubtitleCodecName, opt_.SubtitleStreamCopy, name);
}
void TCustomFFmpeg::SetFrameSize(const std::string& size) { ParseFrameSize(size); }
void TCustomFFmpeg::SetVideoFilters(const std::string& filters) {
  if (!filters.empty()) opt_.VideoFilters = filters;
}

void TCustomFFmpeg::NewStreamOption(const std::string& name) {
  if (outputFiles_.empty()) throw FFmpegException("At least one output file must be specified");
  int last = int(outputFiles_.size()) - 1;
  if (name == "newvideo")
    NewVideoStream(last);
  else if (name == "newaudio")
    NewAudioStream(last);
  else
    NewSubtitleStream(last);
}
