// The media probe: the input is a media file. Inputs of odd length are held
// in memory: the libraries open them through an I/O context over the buffer
// and search their stream parameters as a load does, and the probe takes the
// context over. Inputs of even length are written to a file with a Chinese
// name, which the probe loads itself through the wide-character road (the
// harness runs under the C locale). Either way everything the probe reports
// is asked for: the file record, each stream's record and the readable text.
#include <algorithm>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "media/av_probe.h"
#include "media/library_tables.h"
#include "platform/code_page.h"

namespace {

constexpr int kIoBufferSize = 4096;

struct MemoryFile {
  const uint8_t* data;
  int64_t size;
  int64_t pos;
};

int ReadPacket(void* opaque, uint8_t* buf, int bufSize) {
  MemoryFile& f = *static_cast<MemoryFile*>(opaque);
  const int64_t n = std::min<int64_t>(bufSize, f.size - f.pos);
  if (n <= 0) return AVERROR_EOF;
  std::memcpy(buf, f.data + f.pos, size_t(n));
  f.pos += n;
  return int(n);
}

int64_t Seek(void* opaque, int64_t offset, int whence) {
  MemoryFile& f = *static_cast<MemoryFile*>(opaque);
  whence &= ~AVSEEK_FORCE;
  if (whence == AVSEEK_SIZE) return f.size;
  int64_t target;
  if (whence == SEEK_SET)
    target = offset;
  else if (whence == SEEK_CUR)
    target = f.pos + offset;
  else if (whence == SEEK_END)
    target = f.size + offset;
  else
    return AVERROR(EINVAL);
  if (target < 0 || target > f.size) return AVERROR(EINVAL);
  f.pos = target;
  return target;
}

void Report(TAVProbe& probe) {
  probe.FileStreamInfo();
  probe.AudioStreamInfo();
  probe.VideoStreamInfo();
  for (int i = 0; i < probe.StreamCount(); ++i) {
    probe.AudioStreamInfo(i);
    probe.VideoStreamInfo(i);
  }
  probe.InfoText();
}

void ProbeFromMemory(const uint8_t* data, size_t size) {
  MemoryFile file{data, int64_t(size), 0};
  auto* buffer = static_cast<uint8_t*>(lib::av_malloc(kIoBufferSize));
  AVIOContext* io = lib::avio_alloc_context(buffer, kIoBufferSize, 0, &file, ReadPacket, nullptr, Seek);
  AVFormatContext* context = lib::avformat_alloc_context();
  if (!io || !context) std::abort();
  context->pb = io;
  context->flags |= AVFMT_FLAG_CUSTOM_IO;
  // Playlists and references may name other resources: local files only,
  // so that no input reaches the network. A failed open frees the context.
  AVDictionary* options = nullptr;
  lib::av_dict_set(&options, "protocol_whitelist", "file", 0);
  if (lib::avformat_open_input(&context, "", nullptr, &options) >= 0) {
    if (lib::avformat_find_stream_info(context, nullptr) >= 0) {
      TAVProbe probe;
      probe.AttachContext(context);
      Report(probe);
      probe.CloseFile();
    }
    lib::avformat_close_input(&context);
  }
  lib::av_dict_free(&options);
  lib::av_freep(&io->buffer);
  lib::avio_context_free(&io);
}

std::string chineseNamedFile;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzsupport::LoadConverterLibraries();
  chineseNamedFile = fuzzsupport::ScratchPath("探测文件.bin");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size % 2 == 1) {
    ProbeFromMemory(data, size);
    return 0;
  }
  fuzzsupport::WriteScratchFile(chineseNamedFile, data, size);
  TAVProbe probe;
  if (probe.LoadFile(platform::Widen(chineseNamedFile))) Report(probe);
  return 0;
}
