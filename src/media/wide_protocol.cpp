#include "media/wide_protocol.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Protocol prefixes that are handed on unchanged, each between colons.
constexpr char kPassedPrefixes[] = ":unicode:stream:gopher:http:pipe:rtp:tcp:udp:";
constexpr size_t kPrefixLength = sizeof(kWideProtocolPrefix) - 1;
constexpr int kIOBufferSize = 32 * 1024;
// The characters of a protocol name at the start of a library name.
constexpr char kSchemeCharacters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+-.";

// One open file of the wide road; the AVIOContext's opaque.
struct WideFile {
  int fd = -1;
};

int WideRead(void* opaque, uint8_t* buf, int size) {
  auto* f = static_cast<WideFile*>(opaque);
  for (;;) {
    ssize_t n = ::read(f->fd, buf, size_t(size));
    if (n > 0) return int(n);
    if (n == 0) return AVERROR_EOF;
    if (errno != EINTR) return AVERROR(errno);
  }
}

int WideWrite(void* opaque, uint8_t* buf, int size) {
  auto* f = static_cast<WideFile*>(opaque);
  int done = 0;
  while (done < size) {
    ssize_t n = ::write(f->fd, buf + done, size_t(size - done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return AVERROR(errno);
    }
    done += int(n);
  }
  return done;
}

int64_t WideSeek(void* opaque, int64_t offset, int whence) {
  auto* f = static_cast<WideFile*>(opaque);
  whence &= ~AVSEEK_FORCE;
  if (whence == AVSEEK_SIZE) {
    struct stat st;
    if (::fstat(f->fd, &st) != 0) return AVERROR(errno);
    return int64_t(st.st_size);
  }
  if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return AVERROR(EINVAL);
  off_t pos = ::lseek(f->fd, off_t(offset), whence);
  if (pos < 0) return AVERROR(errno);
  return int64_t(pos);
}

bool IsOurs(const AVIOContext* pb) {
  return pb && pb->opaque && (pb->read_packet == &WideRead || pb->write_packet == &WideWrite);
}

// Opens the file behind a wide library name and wraps it in a context.
// Returns AVERROR(ENOENT) when the file cannot be opened or created.
int OpenWideContext(const std::string& libraryName, bool write, AVIOContext** result) {
  *result = nullptr;
  const std::string path = libraryName.substr(kPrefixLength);  // already UTF-8
  int fd = write ? ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)
                 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return AVERROR(ENOENT);
  auto* file = new WideFile{fd};
  auto* buffer = static_cast<unsigned char*>(lib::av_malloc(kIOBufferSize));
  AVIOContext* pb =
      buffer ? lib::avio_alloc_context(buffer, kIOBufferSize, write ? 1 : 0, file,
                                       write ? nullptr : &WideRead, write ? &WideWrite : nullptr, &WideSeek)
             : nullptr;
  if (!pb) {
    lib::av_free(buffer);
    ::close(fd);
    delete file;
    return AVERROR(ENOMEM);
  }
  *result = pb;
  return 0;
}

// Releases a context of ours: its buffer, the file and the context.
void FreeWideContext(AVIOContext** pb) {
  if (!*pb) return;
  auto* file = static_cast<WideFile*>((*pb)->opaque);
  lib::av_freep(&(*pb)->buffer);
  lib::avio_context_free(pb);
  if (file) {
    ::close(file->fd);
    delete file;
  }
}

// The name the library's own file protocol knows a wide name's file by:
// its bytes (already UTF-8) under "file:".
std::string DiskUrlOfWideName(const std::string& libraryName) {
  return "file:" + libraryName.substr(kPrefixLength);
}

// Replaces the context's name with a copy of `url`.
int SetContextUrl(AVFormatContext* ctx, const std::string& url) {
  char* copy = lib::av_strdup(url.c_str());
  if (!copy) return AVERROR(ENOMEM);
  lib::av_free(ctx->url);
  ctx->url = copy;
  return 0;
}

}  // namespace

bool NeedsWideProtocol(const std::wstring& name) {
  const size_t colon = name.find(L':');
  if (colon != std::wstring::npos) {
    const std::string probe = ":" + platform::ToLocale(name.substr(0, colon)) + ":";
    if (std::strstr(kPassedPrefixes, probe.c_str())) return false;
  }
  std::string local;
  if (!platform::ToLocale(name, local)) return true;
  return platform::FromLocale(local) != name;
}

std::string ToLibraryFileName(const std::wstring& name) {
  if (NeedsWideProtocol(name)) return kWideProtocolPrefix + Utf8(name);
  return platform::ToLocale(name);
}

bool IsWideLibraryName(const std::string& libraryName) {
  return libraryName.size() > kPrefixLength &&
         libraryName.compare(0, kPrefixLength, kWideProtocolPrefix) == 0;
}

std::string DiskPathOfLibraryName(const std::string& libraryName) {
  if (IsWideLibraryName(libraryName)) return libraryName.substr(kPrefixLength);
  if (libraryName.compare(0, 5, "file:") == 0) return libraryName.substr(5);
  const size_t colon = libraryName.find(':');
  if (colon != std::string::npos) {
    const std::string probe = ":" + libraryName.substr(0, colon) + ":";
    if (std::strstr(kPassedPrefixes, probe.c_str()) || libraryName.find("://") != std::string::npos)
      return std::string();
  }
  return libraryName;
}

std::wstring FromLibraryFileName(const std::string& name) {
  if (IsWideLibraryName(name)) return Widen(name.substr(kPrefixLength));
  return platform::FromLocale(name);
}

namespace {

// OpenInputByLibraryName once the options are settled.
int OpenInputWithOptions(AVFormatContext** ctx, const std::string& libraryName, const AVInputFormat* fmt,
                         AVDictionary** options) {
  if (!IsWideLibraryName(libraryName))
    return lib::avformat_open_input(ctx, libraryName.c_str(), fmt, options);

  AVIOContext* pb = nullptr;
  int ret = OpenWideContext(libraryName, false, &pb);
  if (ret >= 0 && !*ctx) {
    *ctx = lib::avformat_alloc_context();
    if (!*ctx) ret = AVERROR(ENOMEM);
  }
  if (ret < 0) {
    FreeWideContext(&pb);
    if (*ctx) lib::avformat_free_context(*ctx);  // the library frees a given context on failure too
    *ctx = nullptr;
    return ret;
  }
  (*ctx)->pb = pb;
  (*ctx)->flags |= AVFMT_FLAG_CUSTOM_IO;
  // The name given here is what demuxers resolve relative references
  // against (a playlist's segments, a list of files to join) and open with
  // the library's own protocols, which know no "unicode:". The file's own
  // bytes under "file:" name the same files on this system, whatever the
  // locale. Once opened, the context carries the name it was asked for.
  ret = lib::avformat_open_input(ctx, DiskUrlOfWideName(libraryName).c_str(), fmt, options);
  if (ret < 0) {
    FreeWideContext(&pb);  // the library left our context alone
    return ret;
  }
  if (const int renamed = SetContextUrl(*ctx, libraryName); renamed < 0) {
    CloseInputByLibraryName(ctx);
    return renamed;
  }
  return ret;
}

}  // namespace

bool IsLocalLibraryName(const std::string& libraryName) {
  if (IsWideLibraryName(libraryName)) return true;
  // The library reads a protocol name from the letters, digits and "+-."
  // before the first colon; a name without one is a file. "subfile," names
  // carry their options before the colon.
  if (libraryName.compare(0, 8, "subfile,") == 0 && libraryName.find(':', 8) != std::string::npos)
    return false;
  const size_t schemeLength = std::strspn(libraryName.c_str(), kSchemeCharacters);
  if (schemeLength >= libraryName.size() || libraryName[schemeLength] != ':') return true;
  return libraryName.compare(0, schemeLength, "file") == 0 && schemeLength == 4;
}

int OpenInputByLibraryName(AVFormatContext** ctx, const std::string& libraryName, const AVInputFormat* fmt,
                           AVDictionary** options) {
  // The library keeps the whitelist of the protocol that opened the file for
  // what the file refers to; our own I/O context has none, so a local name
  // is given the list here whichever road it takes.
  AVDictionary* ownOptions = nullptr;
  if (!options) options = &ownOptions;
  if (IsLocalLibraryName(libraryName) && !(*ctx && (*ctx)->protocol_whitelist))
    lib::av_dict_set(options, "protocol_whitelist", kLocalInputProtocols, AV_DICT_DONT_OVERWRITE);
  const int ret = OpenInputWithOptions(ctx, libraryName, fmt, options);
  lib::av_dict_free(&ownOptions);
  return ret;
}

void CloseInputByLibraryName(AVFormatContext** ctx) {
  if (!ctx || !*ctx) return;
  AVIOContext* pb = IsOurs((*ctx)->pb) ? (*ctx)->pb : nullptr;
  lib::avformat_close_input(ctx);
  FreeWideContext(&pb);
}

int OpenOutputIO(AVFormatContext* oc, const std::string& libraryName) {
  if (oc->oformat && (oc->oformat->flags & AVFMT_NOFILE)) {
    if (!IsWideLibraryName(libraryName)) return 0;
    return SetContextUrl(oc, DiskUrlOfWideName(libraryName));
  }
  if (!IsWideLibraryName(libraryName))
    return lib::avio_open2(&oc->pb, libraryName.c_str(), AVIO_FLAG_WRITE, &oc->interrupt_callback, nullptr);
  AVIOContext* pb = nullptr;
  int ret = OpenWideContext(libraryName, true, &pb);
  if (ret < 0) return ret;
  oc->pb = pb;
  return 0;
}

void CloseOutputIO(AVFormatContext* oc) {
  if (!oc || !oc->pb) return;
  if (IsOurs(oc->pb)) {
    lib::avio_flush(oc->pb);
    FreeWideContext(&oc->pb);
    oc->pb = nullptr;
  } else {
    lib::avio_closep(&oc->pb);
  }
}
