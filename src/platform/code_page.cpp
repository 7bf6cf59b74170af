#include "platform/code_page.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <langinfo.h>
#include <vector>

namespace platform {
namespace {

bool IsUtf8Charset(const std::string& cs) {
  return strcasecmp(cs.c_str(), "UTF-8") == 0 || strcasecmp(cs.c_str(), "UTF8") == 0;
}

// A byte that is not valid UTF-8 rides in wide text as U+DC80 + byte (the
// "surrogate escape" convention) and turns back into that byte, so that a
// file name on disk survives the way through wide text whatever its bytes.
constexpr uint32_t kEscapeBase = 0xDC00;
bool IsEscapedByte(uint32_t c) { return c >= 0xDC80 && c <= 0xDCFF; }

void AppendUtf8(std::string& out, uint32_t c) {
  if (IsEscapedByte(c)) {
    out += char(c - kEscapeBase);
  } else if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x110000) {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += "\xEF\xBF\xBD";
  }
}

// Decodes UTF-8; returns false when some bytes were not valid (they become
// escaped bytes, see above).
bool DecodeUtf8(const std::string& in, std::wstring& out) {
  bool valid = true;
  out.clear();
  out.reserve(in.size());
  size_t i = 0;
  const size_t n = in.size();
  while (i < n) {
    const unsigned char b = static_cast<unsigned char>(in[i]);
    int extra;
    uint32_t c;
    if (b < 0x80) {
      out += wchar_t(b);
      ++i;
      continue;
    } else if ((b & 0xE0) == 0xC0) {
      extra = 1;
      c = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2;
      c = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3;
      c = b & 0x07;
    } else {
      out += wchar_t(kEscapeBase + b);
      valid = false;
      ++i;
      continue;
    }
    bool ok = true;
    for (int k = 1; ok && k <= extra; ++k) {
      if (i + k >= n) {
        ok = false;
        break;
      }
      const unsigned char t = static_cast<unsigned char>(in[i + k]);
      if ((t & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      c = (c << 6) | (t & 0x3F);
    }
    // Overlong forms, surrogates and values beyond Unicode are invalid too
    // (an encoded surrogate would come back as an escaped byte).
    static const uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (ok && (c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) ok = false;
    if (!ok) {
      out += wchar_t(kEscapeBase + b);
      valid = false;
      ++i;
      continue;
    }
    out += wchar_t(c);
    i += size_t(extra) + 1;
  }
  return valid;
}

// iconv over a whole buffer. Returns false when a character could not be
// converted; unconvertible input is then skipped one unit at a time and
// `replacement` is written in its place.
bool Convert(const char* to, const char* from, const char* in, size_t inBytes, size_t unit,
             const std::string& replacement, std::string& out) {
  out.clear();
  iconv_t cd = iconv_open(to, from);
  if (cd == iconv_t(-1)) return false;
  bool exact = true;
  std::vector<char> buf(inBytes * 4 + 16);
  char* src = const_cast<char*>(in);
  size_t left = inBytes;
  while (left > 0) {
    char* dst = buf.data();
    size_t room = buf.size();
    size_t r = iconv(cd, &src, &left, &dst, &room);
    out.append(buf.data(), size_t(dst - buf.data()));
    if (r != size_t(-1)) {
      if (r > 0) exact = false;  // irreversible conversions were made
      continue;
    }
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL: skip one input unit.
    exact = false;
    out += replacement;
    const size_t skip = left < unit ? left : unit;
    src += skip;
    left -= skip;
  }
  char* dst = buf.data();
  size_t room = buf.size();
  iconv(cd, nullptr, nullptr, &dst, &room);  // flush shift state
  out.append(buf.data(), size_t(dst - buf.data()));
  iconv_close(cd);
  return exact;
}

}  // namespace

std::string Utf8(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) AppendUtf8(out, uint32_t(c));
  return out;
}

std::wstring Widen(const std::string& utf8) {
  std::wstring out;
  DecodeUtf8(utf8, out);
  return out;
}

std::string LocaleCharset() {
  const char* cs = nl_langinfo(CODESET);
  return cs && *cs ? cs : "ANSI_X3.4-1968";
}

bool ToLocale(const std::wstring& text, std::string& out) {
  const std::string cs = LocaleCharset();
  const std::string utf8 = Utf8(text);
  if (IsUtf8Charset(cs)) {
    out = utf8;
    // Surrogates and out-of-range values do not survive.
    for (wchar_t c : text)
      if ((c >= 0xD800 && c <= 0xDFFF) || uint32_t(c) > 0x10FFFF) return false;
    return true;
  }
  // Pure ASCII is the same in every charset we meet.
  bool ascii = true;
  for (wchar_t c : text)
    if (uint32_t(c) >= 0x80) ascii = false;
  if (ascii) {
    out = utf8;
    return true;
  }
  // UTF-8 input is skipped one byte at a time on failure; skip the rest of
  // a multi-byte character by converting per character instead.
  out.clear();
  bool exact = true;
  for (wchar_t c : text) {
    std::string one = Utf8(std::wstring(1, c));
    std::string conv;
    if (!Convert(cs.c_str(), "UTF-8", one.data(), one.size(), one.size(), "?", conv) || conv.empty()) {
      exact = false;
      out += '?';
    } else {
      out += conv;
    }
  }
  return exact;
}

std::string ToLocale(const std::wstring& text) {
  std::string out;
  ToLocale(text, out);
  return out;
}

std::wstring FromLocale(const std::string& text) {
  const std::string cs = LocaleCharset();
  std::wstring wide;
  if (IsUtf8Charset(cs)) {
    DecodeUtf8(text, wide);
    return wide;
  }
  bool ascii = true;
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) ascii = false;
  if (ascii) return std::wstring(text.begin(), text.end());
  std::string utf8;
  if (Convert("UTF-8", cs.c_str(), text.data(), text.size(), 1, "\xEF\xBF\xBD", utf8)) {
    DecodeUtf8(utf8, wide);
    return wide;
  }
  // Not in the charset: UTF-8 as far as it is, escaped bytes elsewhere.
  DecodeUtf8(text, wide);
  return wide;
}

}  // namespace platform
