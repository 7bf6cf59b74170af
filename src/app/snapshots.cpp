#include "app/snapshots.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

#include "media/bitmap.h"
#include "profiles/file_names.h"

namespace app {
namespace {

constexpr struct {
  SnapshotFormat Format;
  const char* Name;
  const char* Extension;
} kFormats[] = {
    {SnapshotFormat::Bmp, "BMP", ".bmp"},
    {SnapshotFormat::Jpg, "JPG", ".jpg"},
    {SnapshotFormat::Gif, "GIF", ".gif"},
    {SnapshotFormat::Png, "PNG", ".png"},
};

// Far more than a folder of snapshots of one file will ever hold; it only
// keeps a folder that refuses every name from looping for ever.
constexpr int kMaxSnapshotNumber = 1000000;

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

}  // namespace

bool SnapshotFormatFromName(const std::string& name, SnapshotFormat& format) {
  for (const auto& f : kFormats)
    if (name == f.Name) {
      format = f.Format;
      return true;
    }
  return false;
}

const char* SnapshotFormatName(SnapshotFormat format) {
  for (const auto& f : kFormats)
    if (f.Format == format) return f.Name;
  return "BMP";
}

const char* SnapshotExtension(SnapshotFormat format) {
  for (const auto& f : kFormats)
    if (f.Format == format) return f.Extension;
  return ".bmp";
}

std::string SnapshotBaseName(const std::string& previewFile) {
  return profiles::ChangeFileExt(profiles::ExtractFileName(previewFile), "");
}

SnapshotFile CreateSnapshotFile(const std::string& folder, const std::string& base, SnapshotFormat format) {
  const std::string extension = SnapshotExtension(format);
  for (int n = 1; n <= kMaxSnapshotNumber; ++n) {
    const std::string path = profiles::JoinPath(folder, base + "_" + std::to_string(n) + extension);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) return {path, fd};
    if (errno != EEXIST) break;
  }
  return {};
}

bool WriteSnapshotTo(int fd, const TBitmap& picture, SnapshotFormat format, std::string* error) {
  switch (format) {
    case SnapshotFormat::Jpg:
      return WriteJpeg(fd, picture, error);
    case SnapshotFormat::Gif:
      return WriteGif(fd, picture, error);
    case SnapshotFormat::Png:
      return WritePng(fd, picture, error);
    case SnapshotFormat::Bmp:
      break;
  }
  return WriteBmp(fd, picture, error);
}

std::string SaveSnapshot(const TBitmap& picture, const std::string& folder, const std::string& previewFile,
                         SnapshotFormat format, std::string* error) {
  if (picture.Width() <= 0 || picture.Height() <= 0) {
    if (error) *error = "The picture is empty";
    return {};
  }
  SnapshotFile file = CreateSnapshotFile(folder, SnapshotBaseName(previewFile), format);
  if (file.fd < 0) {
    if (error) *error = "Cannot create a snapshot file in " + folder + ": " + std::strerror(errno);
    return {};
  }
  std::string reason;
  if (!WriteSnapshotTo(file.fd, picture, format, &reason)) {
    ::unlink(file.path.c_str());
    if (error) *error = "Cannot write the snapshot " + file.path + ": " + reason;
    return {};
  }
  return file.path;
}

// A 24-bit Windows bitmap: the two headers, then the rows bottom-up. The
// rows of a TBitmap already have the file's layout (BGR, padded to 4 bytes).
bool WriteBmp(int fd, const TBitmap& picture, std::string* error) {
  constexpr uint32_t kHeaders = 14 + 40;
  constexpr uint32_t kPixelsPerMetre = 2835;  // 72 dpi
  const uint32_t imageBytes = uint32_t(picture.Stride()) * uint32_t(picture.Height());
  std::vector<uint8_t> out;
  out.reserve(kHeaders + imageBytes);
  out.push_back('B');
  out.push_back('M');
  Put32(out, kHeaders + imageBytes);
  Put32(out, 0);  // reserved
  Put32(out, kHeaders);
  Put32(out, 40);  // size of the information header
  Put32(out, uint32_t(picture.Width()));
  Put32(out, uint32_t(picture.Height()));  // positive: bottom-up rows
  Put16(out, 1);                           // planes
  Put16(out, 24);                          // bits per pixel
  Put32(out, 0);                           // no compression
  Put32(out, imageBytes);
  Put32(out, kPixelsPerMetre);
  Put32(out, kPixelsPerMetre);
  Put32(out, 0);  // colours used
  Put32(out, 0);  // important colours
  for (int y = picture.Height() - 1; y >= 0; --y) {
    const uint8_t* row = picture.Scanline(y);
    out.insert(out.end(), row, row + picture.Stride());
  }
  size_t done = 0;
  bool ok = true;
  while (done < out.size()) {
    const ssize_t n = ::write(fd, out.data() + done, out.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (error) *error = std::strerror(n < 0 ? errno : ENOSPC);
      ok = false;
      break;
    }
    done += size_t(n);
  }
  if (::close(fd) != 0 && ok) {
    if (error) *error = std::strerror(errno);
    ok = false;
  }
  return ok;
}

}  // namespace app
