#include "media/probe_text.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace probetext {

std::string RateText(double value, const char* unit) {
  char buf[64];
  const long long hundredths = std::llround(value * 100);
  if (hundredths % 100 != 0)
    std::snprintf(buf, sizeof buf, ", %3.2f %s", value, unit);
  else if (hundredths % (100 * 1000) != 0)
    std::snprintf(buf, sizeof buf, ", %1.0f %s", value, unit);
  else
    std::snprintf(buf, sizeof buf, ", %1.0fk %s", value / 1000, unit);
  return buf;
}

const char* TranslateMetadataKey(const char* key) {
  static const struct {
    const char* frame;
    const char* plain;
  } kTable[] = {
      {"TALB", "album"},     {"TAL", "album"},        {"TCOM", "composer"},   {"TCON", "genre"},
      {"TCO", "genre"},      {"TCOP", "copyright"},   {"TDRL", "date"},       {"TENC", "encoder"},
      {"TEN", "encoder"},    {"TIT2", "title"},       {"TT2", "title"},       {"TLAN", "language"},
      {"TPE1", "artist"},    {"TP1", "artist"},       {"TPOS", "disc"},       {"TPUB", "publisher"},
      {"TRCK", "track"},     {"TRK", "track"},        {"TSOA", "albumsort"},  {"TSOP", "authorsort"},
      {"TSOT", "titlesort"}, {"TYER", "year"},
  };
  for (const auto& row : kTable) {
    if (std::strcmp(row.frame, key) == 0) return row.plain;
  }
  return key;
}

std::string SecondsText(int64_t microseconds) {
  char buf[48];
  // Work on the magnitude so that a negative time prints "-0.500000", not
  // a negative remainder; the unsigned negation covers the smallest value.
  const bool negative = microseconds < 0;
  const uint64_t magnitude = negative ? 0 - uint64_t(microseconds) : uint64_t(microseconds);
  std::snprintf(buf, sizeof buf, "%s%llu.%06llu", negative ? "-" : "",
                static_cast<unsigned long long>(magnitude / 1000000),
                static_cast<unsigned long long>(magnitude % 1000000));
  return buf;
}

int32_t LeadingNumber(const char* text) {
  int64_t value = 0;
  if (!text) return 0;
  for (const char* p = text; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > INT32_MAX) return INT32_MAX;
  }
  return int32_t(value);
}

}  // namespace probetext
