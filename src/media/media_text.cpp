#include "media/media_text.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <ctime>

std::string DurationText(int64_t us) {
  if (us == AV_NOPTS_VALUE) return "N/A";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2" PRId64 ":%.2d:%.2d.%.3d", us / 1000000 / 60 / 60,
                int((us / 1000000 / 60) % 60), int((us / 1000000) % 60),
                int((us % 1000000) * 1000 / 1000000));
  return buf;
}

std::string SizeText(int64_t bytes) {
  char buf[64];
  if (bytes <= 1024)
    std::snprintf(buf, sizeof buf, "%" PRId64 " Byte", bytes);
  else if (bytes <= 1048576)
    std::snprintf(buf, sizeof buf, "%.2f KB", double(bytes) / 1024.0);
  else if (bytes <= 1073741824)
    std::snprintf(buf, sizeof buf, "%.2f MB", double(bytes) / 1048576.0);
  else
    std::snprintf(buf, sizeof buf, "%.2f GB", double(bytes) / 1073741824.0);
  return buf;
}

std::string LibraryErrorMessage(int code) {
  switch (code) {
    case AVERROR_PATCHWELCOME:
      return "Not yet implemented in FFmpeg";
    case AVERROR_PROTOCOL_NOT_FOUND:
    case AVERROR(EPROTONOSUPPORT):
      return "Unsupported network protocol";
    case AVERROR_DEMUXER_NOT_FOUND:
    case AVERROR_MUXER_NOT_FOUND:
    case AVERROR(EILSEQ):
      return "Unknown format";
    case AVERROR(EDOM):
      return "Number syntax expected in filename";
    case AVERROR_EOF:
      return "End of file";
    case AVERROR_INVALIDDATA:
      return "Invalid data found when processing input";
    case AVERROR(ENOMEM):
      return "Not enough memory";
    case AVERROR(EIO):
      return "I/O error";
    case AVERROR(ENOENT):
      return "No such file or directory";
    default:
      break;
  }
  char buf[64];
  std::snprintf(buf, sizeof buf, "Error number %d occurred", code);
  return buf;
}

std::string ErrorText(const std::string& name, int code) { return name + ": " + LibraryErrorMessage(code); }

std::string MediaTypeName(int mediaType) {
  switch (mediaType) {
    case AVMEDIA_TYPE_VIDEO:
      return "Video";
    case AVMEDIA_TYPE_AUDIO:
      return "Audio";
    case AVMEDIA_TYPE_DATA:
      return "Data";
    case AVMEDIA_TYPE_SUBTITLE:
      return "Subtitle";
    case AVMEDIA_TYPE_ATTACHMENT:
      return "Attachment";
    default:
      return "Unknown";
  }
}

namespace {
std::string Trim(const char* text) {
  if (!text) return std::string();
  std::string s(text);
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}
}  // namespace

std::string CodecDescription(AVCodecID id, uint32_t tag, bool encoder) {
  const AVCodec* codec = encoder ? lib::avcodec_find_encoder(id) : lib::avcodec_find_decoder(id);
  if (codec) {
    std::string text = codec->name;
    std::string longName = Trim(codec->long_name);
    if (!longName.empty()) text += "(" + longName + ")";
    return text;
  }
  if (id == AV_CODEC_ID_MPEG2TS) return "mpeg2ts";
  if (id != AV_CODEC_ID_NONE) {
    const AVCodecDescriptor* d = lib::avcodec_descriptor_get(id);
    std::string name = d ? Trim(d->name).substr(0, 32) : std::string();
    if (!name.empty()) return name;
  }
  char buf[64];
  const unsigned char c[4] = {
      static_cast<unsigned char>(tag & 0xFF), static_cast<unsigned char>((tag >> 8) & 0xFF),
      static_cast<unsigned char>((tag >> 16) & 0xFF), static_cast<unsigned char>((tag >> 24) & 0xFF)};
  bool printable = true;
  for (unsigned char ch : c)
    if (ch < 32 || ch > 126) printable = false;
  if (printable)
    std::snprintf(buf, sizeof buf, "%c%c%c%c / 0x%04X", c[0], c[1], c[2], c[3], tag);
  else
    std::snprintf(buf, sizeof buf, "0x%04x", tag);
  return buf;
}

std::string CodecDescription(const AVCodecParameters* par, bool encoder) {
  return CodecDescription(par->codec_id, par->codec_tag, encoder);
}

std::string CodecDescription(const AVCodecContext* ctx, bool encoder) {
  return CodecDescription(ctx->codec_id, ctx->codec_tag, encoder);
}

std::string MetadataValue(const AVDictionary* dict, const std::string& key, const std::string& defaultValue) {
  const AVDictionaryEntry* e = lib::av_dict_get(dict, key.c_str(), nullptr, 0);
  return e && e->value ? std::string(e->value) : defaultValue;
}

namespace {
constexpr double kUnixEpochDays = 25569.0;  // 1970-01-01 counted from 1899-12-30
}

double LocalDateTime(int64_t unixSeconds) {
  std::time_t t = std::time_t(unixSeconds);
  std::tm local{};
  long offset = localtime_r(&t, &local) ? local.tm_gmtoff : 0;
  return double(unixSeconds + offset) / 86400.0 + kUnixEpochDays;
}

std::string DateTimeText(const std::string& format, double value) {
  // The value is local already: break it down without a time zone.
  const double seconds = std::round((value - kUnixEpochDays) * 86400.0);
  std::time_t t = std::time_t(seconds);
  std::tm tm{};
  if (!gmtime_r(&t, &tm)) return std::string();
  char buf[256];
  size_t n = std::strftime(buf, sizeof buf, format.c_str(), &tm);
  return std::string(buf, n);
}
