#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "media/ffmpeg_loader.h"

namespace fuzzsupport {

void LoadConverterLibraries() {
  TFFmpegLoader& loader = FFLoader();
  if (loader.LibrariesLoaded(kConverterLibraries)) return;
  loader.SetLibraryPath("");
  if (!loader.LoadLibraries(kConverterLibraries)) {
    std::fprintf(stderr, "Cannot load the media libraries: %s\n", loader.LastError().c_str());
    std::exit(1);
  }
}

namespace {

std::string MakeScratchDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/quvexa-fuzz-XXXXXX";
  if (!mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    std::exit(1);
  }
  return pattern;
}

void RemoveScratchDir() {
  std::error_code ec;
  std::filesystem::remove_all(ScratchDir(), ec);
}

}  // namespace

const std::string& ScratchDir() {
  // Never destroyed: the exit handler that removes the folder still reads it.
  static const std::string* dir = [] {
    auto* d = new std::string(MakeScratchDir());
    std::atexit(RemoveScratchDir);
    return d;
  }();
  return *dir;
}

std::string ScratchPath(const std::string& name) { return ScratchDir() + "/" + name; }

void WriteScratchFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  bool ok = f && (size == 0 || std::fwrite(data, 1, size, f) == size);
  if (f) ok = std::fclose(f) == 0 && ok;
  if (!ok) {
    std::perror(path.c_str());
    std::exit(1);
  }
}

std::vector<std::string> SplitAtNul(const uint8_t* data, size_t size) {
  std::vector<std::string> pieces(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0)
      pieces.emplace_back();
    else
      pieces.back() += char(data[i]);
  }
  return pieces;
}

}  // namespace fuzzsupport
