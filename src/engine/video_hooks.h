/* Video hook libraries: shared libraries that change every pre-processed
 * video picture of a task in place (option vhook).
 *
 * A hook library exports, with C linkage:
 *   int  Configure(void** context, int argc, char* argv[]);   0 = success
 *   void Process(void* context, THookPicture* picture, int pixelFormat,
 *                int width, int height, int64_t pts);
 *   void Release(void* context);
 * "Process" is required; "Configure" is required when arguments follow the
 * library name (and is called whenever it is exported); "Release" is
 * optional. argv[0] is the library file name and argc counts it; the
 * argument texts stay valid until Release. pixelFormat is the media
 * libraries' pixel format number, pts is in microseconds.
 *
 * The first part of this header is plain C so that hook libraries can
 * include it. */
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Planes of a picture and their line sizes in bytes; unused planes are null. */
typedef struct THookPicture {
  uint8_t* data[8];
  int linesize[8];
} THookPicture;

typedef int (*TVideoHookConfigure)(void** context, int argc, char* argv[]);
typedef void (*TVideoHookProcess)(void* context, THookPicture* picture, int pixelFormat, int width, int height,
                                  int64_t pts);
typedef void (*TVideoHookRelease)(void* context);

#ifdef __cplusplus
}

#include <memory>
#include <string>
#include <vector>

// The hooks of one task, in the order they were added. Used by one thread
// at a time (the task's), so it has no lock.
class TVideoHooks {
 public:
  TVideoHooks() = default;
  TVideoHooks(const TVideoHooks&) = delete;
  TVideoHooks& operator=(const TVideoHooks&) = delete;
  ~TVideoHooks() { Release(); }

  // Loads the library of the command line (once per process), finds its
  // entry points and configures the hook. false when anything fails; the
  // reason went to the library log.
  bool Add(const std::string& commandLine);
  // Calls Process of every hook in order, on the picture in place.
  void Process(THookPicture& picture, int pixelFormat, int width, int height, int64_t pts);
  // Calls Release of every hook (when exported) and forgets them.
  void Release();
  bool Empty() const { return entries_.empty(); }
  size_t Count() const { return entries_.size(); }

 private:
  struct TEntry {
    TVideoHookConfigure Configure = nullptr;
    TVideoHookProcess Process = nullptr;
    TVideoHookRelease Release = nullptr;
    void* Context = nullptr;
    // The argument texts handed to Configure; a hook may keep pointers
    // into them, so they live as long as the entry.
    std::vector<std::string> Args;
    std::vector<char*> Argv;
  };
  std::vector<std::unique_ptr<TEntry>> entries_;
};

namespace videohooks {

// At most this many arguments (library name included) are taken.
inline constexpr int kMaxArguments = 255;

// Splits a command line at "|" when it contains one, otherwise at spaces;
// empty pieces are skipped.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// Number of distinct hook libraries this process has loaded.
size_t LoadedLibraryCount();

}  // namespace videohooks

#endif
