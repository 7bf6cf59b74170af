// File names the media libraries cannot take as they are.
//
// The libraries take file names as 8-bit text and open them with their own
// I/O layer. A name that the locale's charset cannot hold (a Chinese name
// under LANG=C, say) is handed to them as "unicode:utf8:" + the name in
// UTF-8, and every opener of an input or output by library file name goes
// through the helpers below, which open such names with an I/O context of
// our own over POSIX calls on the UTF-8 name. Any other name goes to the
// library unchanged.
//
// Wide text is std::wstring; 8-bit text is in the C library's locale charset.
// All functions are re-entrant; each open file has its own context.
#pragma once

#include <string>

#include "media/library_tables.h"
#include "platform/code_page.h"

using platform::Utf8;
using platform::Widen;

// The prefix of library names that take the wide road (13 bytes).
inline constexpr char kWideProtocolPrefix[] = "unicode:utf8:";

// False for URLs of the protocols that are passed on unchanged (letter case
// matters: "http:" is one, "HTTP:" is not); otherwise true when the name
// does not survive conversion to the locale charset and back.
bool NeedsWideProtocol(const std::wstring& name);
// "unicode:utf8:" + UTF-8 when needed, else the name in the locale charset.
std::string ToLibraryFileName(const std::wstring& name);
// The way back: the prefix removed and UTF-8 decoded, or the locale text widened.
std::wstring FromLibraryFileName(const std::string& name);
// True when the library name takes the wide road (prefix plus at least one byte).
bool IsWideLibraryName(const std::string& libraryName);

// The path on disk behind a library name (the file's own bytes), or "" for
// names of other protocols ("pipe:", URLs).
std::string DiskPathOfLibraryName(const std::string& libraryName);

// The protocols the libraries may use for an input named as a local file,
// both for the file itself and for whatever it refers to (the entries of a
// playlist, a list of files to join): files, encrypted files and inline
// data, never the network. A crafted playlist in a local file cannot make
// the program fetch anything or reach other protocols.
inline constexpr char kLocalInputProtocols[] = "file,crypto,data";

// True when the library name names a local file: a name of the wide road,
// a "file:" name or a name without a protocol prefix. False for URLs
// ("http://…", "rtmp://…") and other protocols the user names ("pipe:0",
// "concat:…"), which are opened as given.
bool IsLocalLibraryName(const std::string& libraryName);

// Like avformat_open_input (returns its result; *ctx may be preallocated,
// for example with interrupt_callback set). A wide name that cannot be
// opened gives AVERROR(ENOENT) and frees a preallocated *ctx, as the
// library does. A local name (IsLocalLibraryName) is opened with the
// protocol whitelist kLocalInputProtocols unless the caller set one (in
// *ctx or options).
int OpenInputByLibraryName(AVFormatContext** ctx, const std::string& libraryName, const AVInputFormat* fmt,
                           AVDictionary** options);
// avformat_close_input, plus our own I/O context when we made one.
void CloseInputByLibraryName(AVFormatContext** ctx);

// Sets oc->pb: our context for a wide name (the file is created or
// truncated), else avio_open2 with AVIO_FLAG_WRITE and oc->interrupt_callback.
// Muxers that need no file (AVFMT_NOFILE) get none: they open their files
// themselves with the library's protocols, by names made from oc->url, so
// for a wide name oc->url becomes "file:" + the file's bytes. Returns < 0 on
// error.
int OpenOutputIO(AVFormatContext* oc, const std::string& libraryName);
// Flushes and closes oc->pb whichever road opened it; oc->pb becomes null.
void CloseOutputIO(AVFormatContext* oc);
