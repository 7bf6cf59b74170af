#include "engine/engine_util.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/engine_events.h"
#include "media/library_tables.h"
#include "platform/code_page.h"

namespace engine {

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string out;
  if (n > 0) {
    out.resize(size_t(n) + 1);
    std::vsnprintf(out.data(), out.size(), format, args);
    out.resize(size_t(n));
  }
  va_end(args);
  return out;
}

std::string Trim(const std::string& text) {
  size_t b = 0, e = text.size();
  while (b < e && (unsigned char)text[b] <= ' ') ++b;
  while (e > b && (unsigned char)text[e - 1] <= ' ') --e;
  return text.substr(b, e - b);
}

std::string Lower(const std::string& text) {
  std::string out = text;
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return out;
}

std::string WideToUtf8(const std::wstring& text) { return platform::Utf8(text); }

std::wstring Utf8ToWide(const std::string& text) { return platform::Widen(text); }

std::string LibraryErrorText(int code) {
  char buffer[AV_ERROR_MAX_STRING_SIZE * 2] = {};
  if (lib::av_strerror && lib::av_strerror(code, buffer, sizeof buffer) == 0) return buffer;
  return Format("Error number %d occurred", code);
}

namespace {
bool OnlyBlanks(const char* p) {
  while (*p == ' ' || *p == '\t') ++p;
  return *p == 0;
}
}  // namespace

int64_t StrToInt64(const std::string& text) {
  std::string t = Trim(text);
  if (!t.empty()) {
    const char* s = t.c_str();
    char* end = nullptr;
    errno = 0;
    long long v;
    if (t[0] == '$')  // hexadecimal with the dollar prefix
      v = std::strtoll(s + 1, &end, 16);
    else if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X'))
      v = std::strtoll(s + 2, &end, 16);
    else
      v = std::strtoll(s, &end, 10);
    if (errno == 0 && end != s && OnlyBlanks(end)) return v;
  }
  throw FFmpegException(Format("'%s' is not a valid integer value", text.c_str()));
}

int32_t StrToInt(const std::string& text) {
  int64_t v;
  try {
    v = StrToInt64(text);
  } catch (const FFmpegException&) {
    throw;
  }
  if (v < INT32_MIN || v > INT32_MAX)
    throw FFmpegException(Format("'%s' is not a valid integer value", text.c_str()));
  return int32_t(v);
}

double StrToFloat(const std::string& text) {
  std::string t = Trim(text);
  if (!t.empty()) {
    const char* s = t.c_str();
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(s, &end);
    if (end != s && OnlyBlanks(end) && errno != ERANGE) return v;
  }
  throw FFmpegException(Format("'%s' is not a valid floating point value", text.c_str()));
}

int32_t SaturatingInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= double(INT32_MAX)) return INT32_MAX;
  if (value <= double(INT32_MIN)) return INT32_MIN;
  return int32_t(value);
}

}  // namespace engine
