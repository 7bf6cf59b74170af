// JPEG, PNG and GIF snapshots through the system's image libraries, each
// with the library's default settings; GIF reduces the picture to a
// 256-colour palette chosen for it (median cut).
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

// libjpeg needs FILE and size_t declared first.
#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>

#include "app/snapshots.h"
#include "media/bitmap.h"

namespace app {
namespace {

// Owns a stdio stream over fd; closing it closes fd.
class FileStream {
 public:
  explicit FileStream(int fd) : file_(::fdopen(fd, "wb")) {
    if (!file_) ::close(fd);
  }
  ~FileStream() {
    if (file_) std::fclose(file_);
  }
  FILE* Get() const { return file_; }
  // Closes the stream; false when buffered data could not be written.
  bool Close() {
    FILE* f = file_;
    file_ = nullptr;
    return f && std::fflush(f) == 0 && !std::ferror(f) && std::fclose(f) == 0;
  }

 private:
  FILE* file_;
};

// ---- JPEG

struct JpegError {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX] = {};
};

[[noreturn]] void JpegFail(j_common_ptr info) {
  auto* e = reinterpret_cast<JpegError*>(info->err);
  info->err->format_message(info, e->message);
  std::longjmp(e->jump, 1);
}

void JpegQuiet(j_common_ptr) {}

// Kept free of objects with destructors: a library error jumps back into it.
bool CompressJpeg(FILE* file, const TBitmap& picture, JpegError& error) {
  jpeg_compress_struct info{};
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = JpegFail;
  error.manager.output_message = JpegQuiet;
  if (setjmp(error.jump)) {
    jpeg_destroy_compress(&info);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, file);
  info.image_width = JDIMENSION(picture.Width());
  info.image_height = JDIMENSION(picture.Height());
  info.input_components = 3;
  info.in_color_space = JCS_EXT_BGR;  // the bitmap's byte order
  jpeg_set_defaults(&info);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(picture.Scanline(int(info.next_scanline)));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}

// ---- PNG

struct PngError {
  char message[256] = {};
};

[[noreturn]] void PngFail(png_structp png, png_const_charp message) {
  auto* e = static_cast<PngError*>(png_get_error_ptr(png));
  std::snprintf(e->message, sizeof e->message, "%s", message);
  png_longjmp(png, 1);
}

void PngQuiet(png_structp, png_const_charp) {}

// Kept free of objects with destructors: a library error jumps back into it.
bool CompressPng(FILE* file, const TBitmap& picture, PngError& error) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, PngFail, PngQuiet);
  if (!png) {
    std::snprintf(error.message, sizeof error.message, "out of memory");
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, png_uint_32(picture.Width()), png_uint_32(picture.Height()), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_bgr(png);  // the bitmap's byte order
  for (int y = 0; y < picture.Height(); ++y) png_write_row(png, picture.Scanline(y));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

// ---- GIF

int GifWrite(GifFileType* gif, const GifByteType* data, int length) {
  const int fd = *static_cast<int*>(gif->UserData);
  int done = 0;
  while (done < length) {
    const ssize_t n = ::write(fd, data + done, size_t(length - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += int(n);
  }
  return done;
}

}  // namespace

bool WriteJpeg(int fd, const TBitmap& picture, std::string* error) {
  FileStream stream(fd);
  if (!stream.Get()) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  JpegError failure;
  if (!CompressJpeg(stream.Get(), picture, failure)) {
    if (error) *error = std::string("JPEG encoder: ") + failure.message;
    return false;
  }
  if (!stream.Close()) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  return true;
}

bool WritePng(int fd, const TBitmap& picture, std::string* error) {
  FileStream stream(fd);
  if (!stream.Get()) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  PngError failure;
  if (!CompressPng(stream.Get(), picture, failure)) {
    if (error) *error = std::string("PNG encoder: ") + failure.message;
    return false;
  }
  if (!stream.Close()) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  return true;
}

bool WriteGif(int fd, const TBitmap& picture, std::string* error) {
  const int width = picture.Width(), height = picture.Height();
  auto fail = [&](const std::string& reason) {
    ::close(fd);
    if (error) *error = "GIF encoder: " + reason;
    return false;
  };
  if (width > 0xFFFF || height > 0xFFFF) return fail("the picture is larger than 65535 pixels");

  // The palette and each pixel's entry, from the picture's separate planes.
  const size_t count = size_t(width) * size_t(height);
  std::vector<GifByteType> red(count), green(count), blue(count), indices(count);
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = picture.Scanline(y);
    for (int x = 0; x < width; ++x) {
      const size_t i = size_t(y) * size_t(width) + size_t(x);
      blue[i] = row[3 * x];
      green[i] = row[3 * x + 1];
      red[i] = row[3 * x + 2];
    }
  }
  constexpr int kPaletteSize = 256;
  ColorMapObject* palette = GifMakeMapObject(kPaletteSize, nullptr);
  if (!palette) return fail("out of memory");
  int used = kPaletteSize;
  if (GifQuantizeBuffer(unsigned(width), unsigned(height), &used, red.data(), green.data(), blue.data(),
                        indices.data(), palette->Colors) != GIF_OK) {
    GifFreeMapObject(palette);
    return fail("cannot reduce the colours");
  }

  int status = 0;
  int target = fd;
  GifFileType* gif = EGifOpen(&target, GifWrite, &status);
  if (!gif) {
    GifFreeMapObject(palette);
    return fail(GifErrorString(status));
  }
  bool ok = EGifPutScreenDesc(gif, width, height, 8, 0, palette) == GIF_OK &&
            EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
  for (int y = 0; ok && y < height; ++y)
    ok = EGifPutLine(gif, indices.data() + size_t(y) * size_t(width), width) == GIF_OK;
  const int writeError = gif->Error;
  const bool closed = EGifCloseFile(gif, &status) == GIF_OK;
  GifFreeMapObject(palette);
  if (!ok || !closed) return fail(GifErrorString(ok ? status : writeError));
  if (::close(fd) != 0) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace app
