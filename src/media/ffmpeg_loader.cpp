#include "media/ffmpeg_loader.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <stdexcept>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "media/ffmpeg_logger.h"
#include "media/library_tables.h"
#include "platform/floating_point.h"
#include "platform/paths.h"

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
    case lkAVCodec:
      return lib::avcodec_version();
    case lkAVDevice:
      return lib::avdevice_version();
    case lkAVFilter:
      return lib::avfilter_version();
    case lkAVFormat:
      return lib::avformat_version();
    case lkAVUtil:
      return lib::avutil_version();
    case lkSwScale:
      return lib::swscale_version();
    case lkSwResample:
      return lib::swresample_version();
    default:
      return 0;
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

// The DT_NEEDED names of a 64-bit ELF shared object; empty when the file
// is not one or cannot be read. Every offset is checked against the file.
std::vector<std::string> NeededLibraries(const std::string& path) {
  std::vector<std::string> names;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return names;
  struct stat st;
  if (::fstat(fd, &st) != 0 || st.st_size < off_t(sizeof(Elf64_Ehdr))) {
    ::close(fd);
    return names;
  }
  const size_t size = size_t(st.st_size);
  void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  ::close(fd);
  if (map == MAP_FAILED) return names;
  const auto* base = static_cast<const uint8_t*>(map);
  auto inside = [size](uint64_t off, uint64_t len) { return off <= size && len <= size - off; };
  const auto* eh = reinterpret_cast<const Elf64_Ehdr*>(base);
  if (std::memcmp(eh->e_ident, ELFMAG, SELFMAG) == 0 && eh->e_ident[EI_CLASS] == ELFCLASS64 &&
      eh->e_phentsize == sizeof(Elf64_Phdr) &&
      inside(eh->e_phoff, uint64_t(eh->e_phnum) * sizeof(Elf64_Phdr))) {
    const auto* ph = reinterpret_cast<const Elf64_Phdr*>(base + eh->e_phoff);
    const Elf64_Phdr* dynamic = nullptr;
    for (int i = 0; i < eh->e_phnum; ++i)
      if (ph[i].p_type == PT_DYNAMIC) dynamic = &ph[i];
    if (dynamic && inside(dynamic->p_offset, dynamic->p_filesz)) {
      const auto* dyn = reinterpret_cast<const Elf64_Dyn*>(base + dynamic->p_offset);
      const size_t count = dynamic->p_filesz / sizeof(Elf64_Dyn);
      uint64_t strtab = 0;
      std::vector<uint64_t> needed;
      for (size_t i = 0; i < count && dyn[i].d_tag != DT_NULL; ++i) {
        if (dyn[i].d_tag == DT_STRTAB) strtab = dyn[i].d_un.d_ptr;
        if (dyn[i].d_tag == DT_NEEDED) needed.push_back(dyn[i].d_un.d_val);
      }
      // The string table's address, mapped back to a file offset.
      uint64_t strOffset = 0;
      bool found = false;
      for (int i = 0; i < eh->e_phnum && !found; ++i) {
        if (ph[i].p_type == PT_LOAD && strtab >= ph[i].p_vaddr && strtab < ph[i].p_vaddr + ph[i].p_filesz) {
          strOffset = strtab - ph[i].p_vaddr + ph[i].p_offset;
          found = true;
        }
      }
      for (uint64_t n : needed) {
        if (!found || !inside(strOffset, n) || strOffset + n >= size) break;
        const char* name = reinterpret_cast<const char*>(base + strOffset + n);
        names.emplace_back(name, strnlen(name, size - (strOffset + n)));
      }
    }
  }
  ::munmap(map, size);
  return names;
}

// Loads, lowest first, the libraries that dir + fileName needs and that lie
// in dir, so that the dynamic linker takes them from there and not from the
// system (it reuses an already loaded object of the same name). Their
// handles are added to `handles`; the caller closes them once the library
// itself is loaded and holds its own references.
void LoadSiblingsFirst(const std::string& dir, const std::string& fileName, std::vector<std::string>& visited,
                       std::vector<void*>& handles) {
  visited.push_back(fileName);
  for (const std::string& dep : NeededLibraries(dir + fileName)) {
    if (dep.find('/') != std::string::npos) continue;
    if (std::find(visited.begin(), visited.end(), dep) != visited.end()) continue;
    if (!platform::IsExistingFile(dir + dep)) continue;
    LoadSiblingsFirst(dir, dep, visited, handles);
    if (void* h = dlopen((dir + dep).c_str(), RTLD_NOW | RTLD_GLOBAL)) handles.push_back(h);
  }
}

}  // namespace

std::string TFFmpegLoader::LibraryFileName(TLibraryKind kind) {
  switch (kind) {
    case lkCRT:
      return "libc.so.6";
    case lkSDL:
      return "libSDL2-2.0.so.0";
    default:
      break;
  }
  const LibraryItem& item = kLibraries[kind];
  std::string name = std::string("lib") + item.baseName + ".so";
  if (item.version >= 0) name += "." + std::to_string(item.version);
  return name;
}

void* LoadLibraryInFolder(const std::string& folder, const std::string& fileName, std::string& error) {
  const std::string dir = platform::WithTrailingSlash(folder);
  void* handle;
  if (!folder.empty() && platform::IsExistingFile(dir + fileName)) {
    std::vector<std::string> visited;
    std::vector<void*> siblings;
    LoadSiblingsFirst(dir, fileName, visited, siblings);
    handle = dlopen((dir + fileName).c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (!handle) {
      const char* why = dlerror();
      error = why ? why : "unknown error";
    }
    for (void* h : siblings) dlclose(h);
    return handle;
  }
  handle = dlopen(fileName.c_str(), RTLD_NOW | RTLD_GLOBAL);
  if (!handle) {
    const char* why = dlerror();
    error = why ? why : "unknown error";
  }
  return handle;
}

bool TFFmpegLoader::LoadOne(TLibraryKind kind) {
  Status& st = status_[kind];
  const std::string fileName = LibraryFileName(kind);
  if (!st.handle) {
    std::string folder = platform::WithTrailingSlash(libraryPath_);
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
  // Also after a failed binding: the entries bound before the failure must
  // not point into a released library.
  Unbind(kind);
  st.bound = false;
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
  static TFFmpegLoader* loader = [] {
    // Programs call InitFloatingPoint() first thing in main(); doing it here
    // as well covers any program that reaches the libraries without it.
    platform::InitFloatingPoint();
    return new TFFmpegLoader();  // lives until the process ends
  }();
  return *loader;
}

std::mutex& CodecLock() {
  static std::mutex* lock = new std::mutex();
  return *lock;
}
