// Snapshots of the preview: the file name (base_N.ext, the first free N in
// the snapshot folder) and the writers of the four picture formats. BMP is
// written by our own code, JPEG through libjpeg, PNG through libpng and GIF
// through giflib. No widgets here: the preview panel decides when and where.
#pragma once

#include <string>

class TBitmap;

namespace app {

enum class SnapshotFormat { Bmp, Jpg, Gif, Png };

// The stored names "BMP", "JPG", "GIF", "PNG"; false for anything else.
bool SnapshotFormatFromName(const std::string& name, SnapshotFormat& format);
const char* SnapshotFormatName(SnapshotFormat format);
// ".bmp", ".jpg", ".gif", ".png".
const char* SnapshotExtension(SnapshotFormat format);

// The file name of a previewed file without its folder and its extension:
// "/v/a.b.avi" gives "a.b".
std::string SnapshotBaseName(const std::string& previewFile);

// A new, empty file folder/base_N.ext for the first N from 1 whose name is
// free, created exclusively, so that an existing file is never replaced
// (also not one made between the look and the creation). path is empty and
// fd -1 when none could be created (errno tells why).
struct SnapshotFile {
  std::string path;
  int fd = -1;
};
SnapshotFile CreateSnapshotFile(const std::string& folder, const std::string& base, SnapshotFormat format);

// Writes the picture to the open file fd in the format and closes fd in
// every case. False with an English reason in error when it failed.
bool WriteSnapshotTo(int fd, const TBitmap& picture, SnapshotFormat format, std::string* error);

// The whole road: names the file, writes the picture and returns its path.
// An empty picture saves nothing; a failed write leaves no file behind.
// Returns an empty text (with error filled in) on failure.
std::string SaveSnapshot(const TBitmap& picture, const std::string& folder, const std::string& previewFile,
                         SnapshotFormat format, std::string* error);

// The encoders behind WriteSnapshotTo (snapshot_encoders.cpp). Each takes
// ownership of fd and closes it.
bool WriteBmp(int fd, const TBitmap& picture, std::string* error);
bool WriteJpeg(int fd, const TBitmap& picture, std::string* error);
bool WritePng(int fd, const TBitmap& picture, std::string* error);
bool WriteGif(int fd, const TBitmap& picture, std::string* error);

}  // namespace app
