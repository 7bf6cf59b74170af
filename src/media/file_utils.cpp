#include "media/file_utils.h"

#include <cstdio>

#include "media/library_tables.h"

int ReadWholeFile(const std::string& fileName, uint8_t** buffer, int64_t* size) {
  *buffer = nullptr;
  *size = 0;
  FILE* f = std::fopen(fileName.c_str(), "rb");
  if (!f) return -1;
  if (fseeko(f, 0, SEEK_END) != 0) {
    std::fclose(f);
    return -1;
  }
  const off_t length = ftello(f);
  if (length < 0 || fseeko(f, 0, SEEK_SET) != 0) {
    std::fclose(f);
    return -1;
  }
  auto* data = static_cast<uint8_t*>(lib::av_malloc(size_t(length) + 1));
  if (!data) {
    std::fclose(f);
    return AVERROR(ENOMEM);
  }
  if (std::fread(data, 1, size_t(length), f) != size_t(length)) {
    lib::av_free(data);
    std::fclose(f);
    return -1;
  }
  std::fclose(f);
  data[length] = 0;
  *buffer = data;
  *size = int64_t(length) + 1;
  return 0;
}

void SplitAt(std::string& text, const std::string& delimiter, bool remove, std::string& head) {
  const size_t at = delimiter.empty() ? std::string::npos : text.find(delimiter);
  if (at == std::string::npos) {
    head = text;
    if (remove) text.clear();
    return;
  }
  head = text.substr(0, at);
  if (remove) text.erase(0, at + delimiter.size());
}
