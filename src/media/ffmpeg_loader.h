// The one process-wide loader of the media libraries, the C run-time table
// and SDL. Clients (engine, player) ask it to load their set of libraries
// and ask it before each use whether that set is loaded.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

enum TLibraryKind : int {
  lkAVCodec,
  lkAVDevice,
  lkAVFilter,
  lkAVFormat,
  lkAVUtil,
  lkSwScale,
  lkSwResample,
  lkCRT,
  lkSDL,
};
constexpr int kLibraryKindCount = lkSDL + 1;

// A set of library kinds; bit n stands for the kind of ordinal n.
class TLibraryKinds {
 public:
  constexpr TLibraryKinds() = default;
  constexpr TLibraryKinds(std::initializer_list<TLibraryKind> kinds) {
    for (TLibraryKind k : kinds) bits_ |= Bit(k);
  }
  constexpr bool Contains(TLibraryKind k) const { return (bits_ & Bit(k)) != 0; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr TLibraryKinds operator+(TLibraryKinds other) const {
    TLibraryKinds r;
    r.bits_ = bits_ | other.bits_;
    return r;
  }
  constexpr bool operator==(const TLibraryKinds&) const = default;

 private:
  static constexpr uint16_t Bit(TLibraryKind k) { return uint16_t(1u << int(k)); }
  uint16_t bits_ = 0;
};

// The sets the clients load.
inline constexpr TLibraryKinds kConverterLibraries{lkAVCodec, lkAVFilter,   lkAVFormat, lkAVUtil,
                                                   lkSwScale, lkSwResample, lkCRT};
inline constexpr TLibraryKinds kPlayerLibraries = kConverterLibraries + TLibraryKinds{lkSDL};

class TFFmpegLoader {
 public:
  // Folder from which the next loads take their files; empty leaves the
  // search to the system.
  void SetLibraryPath(const std::string& folder) { libraryPath_ = folder; }
  const std::string& LibraryPath() const { return libraryPath_; }

  // "lib" + base + ".so." + major, or the fixed names of libc and SDL.
  static std::string LibraryFileName(TLibraryKind kind);

  bool LoadLibraries(TLibraryKinds kinds);
  bool LibrariesLoaded(TLibraryKinds kinds) const;
  bool LibraryLoaded(TLibraryKind kind) const;
  void UnloadLibraries(TLibraryKinds kinds);

  // Text of the most recent failure; a success never clears it.
  const std::string& LastError() const { return lastError_; }

 private:
  bool LoadOne(TLibraryKind kind);
  void UnloadOne(TLibraryKind kind);

  struct Status {
    void* handle = nullptr;
    bool bound = false;
  };
  Status status_[kLibraryKindCount];
  std::string lastError_;
  std::string libraryPath_;
  bool hookLog_ = true;
};

// The process-wide instance; created on first use and never destroyed.
TFFmpegLoader& FFLoader();

// One process-wide lock around every codec open and close and around the
// engine's stream-parameter discovery: held for that one call only.
std::mutex& CodecLock();

// dlopen()s FileName from Folder when the file exists there (the libraries
// it needs that lie in the same folder are loaded from there first, so its
// dependencies come from that folder too), otherwise by bare name through
// the system search.
// On failure returns nullptr and sets error to dlerror()'s text.
void* LoadLibraryInFolder(const std::string& folder, const std::string& fileName, std::string& error);
