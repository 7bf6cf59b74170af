// Small text helpers of the transcoding context.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>

namespace engine {

// printf-style formatting into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Trim(const std::string& text);
std::string Lower(const std::string& text);
// UTF-8 form of a wide text (code points of wchar_t).
std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);
// The library's text for an error code.
std::string LibraryErrorText(int code);
// Strict conversions: the whole text must be a number (surrounding blanks
// allowed); otherwise "'%s' is not a valid integer value" /
// "'%s' is not a valid floating point value" is thrown.
int32_t StrToInt(const std::string& text);
int64_t StrToInt64(const std::string& text);
double StrToFloat(const std::string& text);
// The value rounded toward zero and held to the int range, "nan" giving 0:
// for numbers computed from option values, which may be anything ("1e30").
int32_t SaturatingInt(double value);
// A flag value is true unless it is exactly "0".
inline bool FlagValue(const std::string& value) { return value != "0"; }

}  // namespace engine
