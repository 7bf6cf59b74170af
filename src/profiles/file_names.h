// File-name pieces with "/" as the only folder separator.
#pragma once

#include <string>
#include <string_view>

namespace profiles {

// The part after the last "/" (the whole text when there is none).
std::string ExtractFileName(std::string_view path);

// The folder part up to and excluding the last "/" (empty when there is none).
std::string ExtractFileDir(std::string_view path);

// The extension with its dot, taken from the file-name part: ".mp4" for
// "a/b.c/d.mp4", empty for "a/b.c/d".
std::string ExtractFileExt(std::string_view path);

// The path with the extension of its file-name part replaced by ext (which
// carries its own dot, or is empty to drop the extension).
std::string ChangeFileExt(std::string_view path, std::string_view ext);

// folder + "/" + name; no second separator when folder already ends in "/".
std::string JoinPath(std::string_view folder, std::string_view name);

// True when the extension of path equals ext ignoring ASCII letter case.
bool HasExtension(std::string_view path, std::string_view ext);

}  // namespace profiles
