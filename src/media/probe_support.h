// Stand-ins for the shared support texts until they are available to the
// probe; private to the probe's sources.
#pragma once

#include <cinttypes>
#include <cstdio>
#include <string>

#include "media/library_tables.h"

namespace probesupport {

inline std::string DurationText(int64_t us) {
  if (us == AV_NOPTS_VALUE) return "N/A";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2d:%.2d:%.2d.%.3d", int(us / 1000000 / 60 / 60), int((us / 1000000 / 60) % 60),
                int((us / 1000000) % 60), int((us % 1000000) * 1000 / 1000000));
  return buf;
}

inline std::string SizeText(int64_t bytes) {
  char buf[64];
  if (bytes <= 1024)
    std::snprintf(buf, sizeof buf, "%" PRId64 " Byte", bytes);
  else if (bytes <= 1048576)
    std::snprintf(buf, sizeof buf, "%.2f KB", bytes / 1024.0);
  else if (bytes <= 1073741824)
    std::snprintf(buf, sizeof buf, "%.2f MB", bytes / 1048576.0);
  else
    std::snprintf(buf, sizeof buf, "%.2f GB", bytes / 1073741824.0);
  return buf;
}

inline std::string ErrorText(const std::string& name, int code) {
  char buf[256] = {0};
  if (lib::av_strerror(code, buf, sizeof buf) < 0) std::snprintf(buf, sizeof buf, "Error number %d occurred", code);
  return name + ": " + buf;
}

inline std::string MetadataValue(const AVDictionary* dict, const char* key, const std::string& def) {
  const AVDictionaryEntry* e = lib::av_dict_get(dict, key, nullptr, 0);
  return e ? std::string(e->value) : def;
}

inline std::string CodecDescription(const AVCodecParameters* par, bool encoder) {
  const AVCodec* c = encoder ? lib::avcodec_find_encoder(par->codec_id) : lib::avcodec_find_decoder(par->codec_id);
  if (c) {
    std::string s = c->name;
    if (c->long_name && *c->long_name) s += std::string("(") + c->long_name + ")";
    return s;
  }
  return lib::avcodec_get_name(par->codec_id);
}

}  // namespace probesupport

using probesupport::CodecDescription;
using probesupport::DurationText;
using probesupport::ErrorText;
using probesupport::MetadataValue;
using probesupport::SizeText;
