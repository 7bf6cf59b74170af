#include "engine/engine_util.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/engine_events.h"
#include "media/library_tables.h"

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

std::string WideToUtf8(const std::wstring& text) {
  std::string out;
  for (wchar_t wc : text) {
    uint32_t c = uint32_t(wc);
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += char(0xE0 | (c >> 12));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xF0 | (c >> 18));
      out += char(0x80 | ((c >> 12) & 0x3F));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::wstring Utf8ToWide(const std::string& text) {
  std::wstring out;
  size_t i = 0;
  while (i < text.size()) {
    unsigned char c = (unsigned char)text[i];
    uint32_t cp;
    int extra;
    if (c < 0x80) { cp = c; extra = 0; }
    else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; extra = 1; }
    else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; extra = 2; }
    else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; extra = 3; }
    else { cp = 0xFFFD; extra = 0; }
    ++i;
    for (int k = 0; k < extra; ++k, ++i) {
      if (i >= text.size() || ((unsigned char)text[i] & 0xC0) != 0x80) { cp = 0xFFFD; break; }
      cp = (cp << 6) | ((unsigned char)text[i] & 0x3F);
    }
    out += wchar_t(cp);
  }
  return out;
}

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

}  // namespace engine
