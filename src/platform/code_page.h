// Text conversions between wide text (std::wstring), UTF-8, and the 8-bit
// text of the C library's current locale (its charset from
// nl_langinfo(CODESET), converted with iconv).
#pragma once

#include <string>

namespace platform {

// UTF-8 <-> wide. A byte that is not valid UTF-8 (a GBK file name from an
// old archive, say) becomes U+DC80 + byte and turns back into the same byte,
// so every byte string survives the round trip.
std::string Utf8(const std::wstring& text);
std::wstring Widen(const std::string& utf8);

// The locale's charset name as the C library reports it ("UTF-8",
// "ANSI_X3.4-1968" under the C locale, ...).
std::string LocaleCharset();

// Wide -> locale 8-bit. Returns false (and a best-effort text with '?' for
// what the charset cannot hold) when the conversion is not exact.
bool ToLocale(const std::wstring& text, std::string& out);
std::string ToLocale(const std::wstring& text);

// Locale 8-bit -> wide. Bytes that are not valid in the charset are taken
// as UTF-8 (file names on disk usually are), and as escaped bytes where
// they are not UTF-8 either.
std::wstring FromLocale(const std::string& text);

}  // namespace platform
