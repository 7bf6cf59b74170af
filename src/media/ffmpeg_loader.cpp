#include "media/ffmpeg_loader.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cassert>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "media/ffmpeg_logger.h"
#include "media/library_tables.h"

namespace {

struct Entry {
  const char* name;
  void** slot;
};

#define QX_ENTRY(name) Entry{#name, reinterpret_cast<void**>(&lib::name)},
const std::vector<Entry> kAVCodecEntries{QX_AVCODEC_ENTRIES(QX_ENTRY)};
const std::vector<Entry> kAVDeviceEntries{QX_AVDEVICE_ENTRIES(QX_ENTRY)};
const std::vector<Entry> kAVFilterEntries{QX_AVFILTER_ENTRIES(QX_ENTRY)};
const std::vector<Entry> kAVFormatEntries{QX_AVFORMAT_ENTRIES(QX_ENTRY)};
const std::vector<Entry> kAVUtilEntries{QX_AVUTIL_ENTRIES(QX_ENTRY)};
const std::vector<Entry> kSwScaleEntries{QX_SWSCALE_ENTRIES(QX_ENTRY)};
const std::vector<Entry> kSwResampleEntries{QX_SWRESAMPLE_ENTRIES(QX_ENTRY)};
const std::vector<Entry> kCRTEntries{QX_CRT_ENTRIES(QX_ENTRY)};
const std::vector<Entry> kSDLEntries{QX_SDL_ENTRIES(QX_ENTRY)};
#undef QX_ENTRY

struct LibraryItem {
  TLibraryKind kind;
  const char* baseName;
  int version;  // major version from the headers; -1 when the name carries none
  const std::vector<Entry>* entries;
};

const LibraryItem kLibraries[kLibraryKindCount] = {
    {lkAVCodec, "avcodec", LIBAVCODEC_VERSION_MAJOR, &kAVCodecEntries},
    {lkAVDevice, "avdevice", LIBAVDEVICE_VERSION_MAJOR, &kAVDeviceEntries},
    {lkAVFilter, "avfilter", LIBAVFILTER_VERSION_MAJOR, &kAVFilterEntries},
    {lkAVFormat, "avformat", LIBAVFORMAT_VERSION_MAJOR, &kAVFormatEntries},
    {lkAVUtil, "avutil", LIBAVUTIL_VERSION_MAJOR, &kAVUtilEntries},
    {lkSwScale, "swscale", LIBSWSCALE_VERSION_MAJOR, &kSwScaleEntries},
    {lkSwResample, "swresample", LIBSWRESAMPLE_VERSION_MAJOR, &kSwResampleEntries},
    {lkCRT, "c", -1, &kCRTEntries},
    {lkSDL, "SDL2", -1, &kSDLEntries},
};

std::string Format(const char* fmt, const std::string& a, const std::string& b, const std::string& c) {
  char buf[2048];
  std::snprintf(buf, sizeof buf, fmt, a.c_str(), b.c_str(), c.c_str());
  return buf;
}

// The run-time library's major version, read through the just-bound table,
// must be the one our headers describe: structure layouts differ between
// majors, and calling across them corrupts memory.
unsigned RuntimeVersion(TLibraryKind kind) {
  switch (kind) {
    case lkAVCodec: return lib::avcodec_version();
    case lkAVDevice: return lib::avdevice_version();
    case lkAVFilter: return lib::avfilter_version();
    case lkAVFormat: return lib::avformat_version();
    case lkAVUtil: return lib::avutil_version();
    case lkSwScale: return lib::swscale_version();
    case lkSwResample: return lib::swresample_version();
    default: return 0;
  }
}

void Bind(TLibraryKind kind, const std::string& fileName, void* handle) {
  const LibraryItem& item = kLibraries[kind];
  for (const Entry& e : *item.entries) {
    dlerror();
    void* address = dlsym(handle, e.name);
    if (!address) {
      const char* why = dlerror();
      throw std::runtime_error(
          Format("Load function %s@%s error: %s", e.name, fileName, why ? why : "symbol not found"));
    }
    *e.slot = address;
  }
  if (item.version >= 0) {
    unsigned major = AV_VERSION_MAJOR(RuntimeVersion(kind));
    if (int(major) != item.version)
      throw std::runtime_error(Format("Load library %s error: %s%s", fileName,
                                      "major version " + std::to_string(major),
                                      ", expected " + std::to_string(item.version)));
  }
  // What the old generation's register_all calls did is automatic today;
  // what is left to do once per load is done here.
  if (kind == lkAVFormat) lib::avformat_network_init();
  if (kind == lkAVDevice) lib::avdevice_register_all();
}

void Unbind(TLibraryKind kind) {
  for (const Entry& e : *kLibraries[kind].entries) *e.slot = nullptr;
}

bool IsExistingFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::string WithTrailingSlash(const std::string& folder) {
  if (folder.empty() || folder.back() == '/') return folder;
  return folder + "/";
}

// Dependencies among the media libraries, lowest first. A library loaded from
// a private folder must find its siblings there, not in the system: the
// dynamic linker reuses an already loaded object with the same soname, so the
// siblings that precede it in this order are loaded from the folder first.
const TLibraryKind kDependencyOrder[] = {lkAVUtil,   lkSwResample, lkSwScale, lkAVCodec,
                                         lkAVFormat, lkAVFilter,   lkAVDevice};

}  // namespace

std::string TFFmpegLoader::LibraryFileName(TLibraryKind kind) {
  switch (kind) {
    case lkCRT: return "libc.so.6";
    case lkSDL: return "libSDL2-2.0.so.0";
    default: break;
  }
  const LibraryItem& item = kLibraries[kind];
  std::string name = std::string("lib") + item.baseName + ".so";
  if (item.version >= 0) name += "." + std::to_string(item.version);
  return name;
}

void* LoadLibraryInFolder(const std::string& folder, const std::string& fileName, std::string& error) {
  if (!folder.empty() && IsExistingFile(WithTrailingSlash(folder) + fileName)) {
    const std::string dir = WithTrailingSlash(folder);
    for (TLibraryKind dep : kDependencyOrder) {
      const std::string depName = TFFmpegLoader::LibraryFileName(dep);
      if (depName == fileName) break;
      if (IsExistingFile(dir + depName)) {
        // Kept for the life of the process; only the named library's own
        // handle is released by UnloadLibraries.
        static std::mutex depLock;
        std::lock_guard<std::mutex> guard(depLock);
        dlopen((dir + depName).c_str(), RTLD_NOW | RTLD_GLOBAL);
      }
    }
    void* handle = dlopen((dir + fileName).c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (!handle) error = dlerror();
    return handle;
  }
  void* handle = dlopen(fileName.c_str(), RTLD_NOW | RTLD_GLOBAL);
  if (!handle) error = dlerror();
  return handle;
}

bool TFFmpegLoader::LoadOne(TLibraryKind kind) {
  Status& st = status_[kind];
  const std::string fileName = LibraryFileName(kind);
  if (!st.handle) {
    std::string folder = libraryPath_.empty() ? std::string() : WithTrailingSlash(libraryPath_);
    std::string error;
    void* handle = LoadLibraryInFolder(folder, fileName, error);
    if (!handle) {
      lastError_ = Format("Load library %s error: %s", folder + fileName, error, "");
      return false;
    }
    st.handle = handle;
  }
  if (!st.bound) {
    try {
      Bind(kind, fileName, st.handle);
      st.bound = true;
    } catch (const std::runtime_error& e) {
      lastError_ = e.what();
    }
  }
  if (!st.bound) {
    UnloadOne(kind);
    return false;
  }
  if (kind == lkAVUtil && hookLog_) DefaultLogger().HookLibraryLog();
  // The format library needs no protocol of ours registered after it loads:
  // names on the "unicode:utf8:" road are opened with our own I/O context by
  // the helpers in media/wide_protocol.h, which every opener goes through.
  return true;
}

void TFFmpegLoader::UnloadOne(TLibraryKind kind) {
  Status& st = status_[kind];
  if (st.bound) {
    Unbind(kind);
    st.bound = false;
  }
  if (st.handle) {
    dlclose(st.handle);
    st.handle = nullptr;
  }
}

bool TFFmpegLoader::LoadLibraries(TLibraryKinds kinds) {
  assert(!kinds.Empty() && "FFmpegLoader: empty library set");
  for (int k = 0; k < kLibraryKindCount; ++k) {
    if (!kinds.Contains(TLibraryKind(k))) continue;
    if (!LoadOne(TLibraryKind(k))) {
      UnloadLibraries(kinds);
      return false;
    }
  }
  return true;
}

bool TFFmpegLoader::LibrariesLoaded(TLibraryKinds kinds) const {
  assert(!kinds.Empty() && "FFmpegLoader: empty library set");
  for (int k = 0; k < kLibraryKindCount; ++k)
    if (kinds.Contains(TLibraryKind(k)) && !LibraryLoaded(TLibraryKind(k))) return false;
  return true;
}

bool TFFmpegLoader::LibraryLoaded(TLibraryKind kind) const {
  return status_[kind].handle != nullptr && status_[kind].bound;
}

void TFFmpegLoader::UnloadLibraries(TLibraryKinds kinds) {
  assert(!kinds.Empty() && "FFmpegLoader: empty library set");
  for (int k = 0; k < kLibraryKindCount; ++k)
    if (kinds.Contains(TLibraryKind(k))) UnloadOne(TLibraryKind(k));
}

TFFmpegLoader& FFLoader() {
  static TFFmpegLoader* loader = new TFFmpegLoader();  // lives until the process ends
  return *loader;
}

std::mutex& CodecLock() {
  static std::mutex* lock = new std::mutex();
  return *lock;
}
