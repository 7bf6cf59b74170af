// Texts the program shows for times, sizes, media types, codecs, library
// error codes and metadata, and the local-time helpers. All re-entrant.
#pragma once

#include <cstdint>
#include <string>

#include "media/library_tables.h"

// "HH:MM:SS.mmm" (hours not limited to two digits), "N/A" for the
// libraries' no-time value.
std::string DurationText(int64_t microseconds);

// "%d Byte" up to 1024 bytes (and for negative sizes), then "%.2f KB",
// "%.2f MB" and "%.2f GB" with 1024 as the step.
std::string SizeText(int64_t bytes);

// Name + ": " + the text for a library error code.
std::string ErrorText(const std::string& name, int code);
// The text alone: "No such file or directory", "End of file", ... or
// "Error number %d occurred".
std::string LibraryErrorMessage(int code);

// "Video", "Audio", "Data", "Subtitle", "Attachment", else "Unknown".
std::string MediaTypeName(int mediaType);

// The codec's short name, with its long name in brackets when it has one:
// "mpeg4(MPEG-4 part 2)". Without an encoder (or decoder) in this build:
// "mpeg2ts" for the transport-stream id, else the codec's registered name,
// else the tag as four characters and hex ("XVID / 0x44495658"), else the
// tag in hex.
std::string CodecDescription(const AVCodecParameters* par, bool encoder);
std::string CodecDescription(const AVCodecContext* ctx, bool encoder);
std::string CodecDescription(AVCodecID id, uint32_t codecTag, bool encoder);

// The value of the first entry for key (exact key), or defaultValue.
std::string MetadataValue(const AVDictionary* dict, const std::string& key, const std::string& defaultValue);

// Seconds since 1970 as a local date-time: days since 30 December 1899,
// with the local time zone's offset at that moment.
double LocalDateTime(int64_t unixSeconds);
// A date-time value (days since 30 December 1899) formatted with a
// strftime format, e.g. "%Y-%m-%d %H:%M:%S".
std::string DateTimeText(const std::string& format, double value);
