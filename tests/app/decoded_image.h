// Reads saved pictures back through the image libraries (JPEG, PNG, GIF)
// and Qt's reader (BMP), as BGR rows without padding, so that tests compare
// what another decoder sees with the picture that was saved.
#pragma once

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// libjpeg needs FILE and size_t declared first.
#include <QImage>
#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>

#include "media/bitmap.h"

namespace apptest {

struct DecodedImage {
  bool ok = false;
  int width = 0, height = 0;
  std::vector<uint8_t> bgr;  // width * 3 bytes a row
};

namespace detail {
struct JpegFailure {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};
[[noreturn]] inline void JpegJump(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegFailure*>(info->err)->jump, 1);
}
inline bool ReadJpeg(FILE* file, DecodedImage& image) {
  jpeg_decompress_struct info{};
  JpegFailure failure;
  info.err = jpeg_std_error(&failure.manager);
  failure.manager.error_exit = JpegJump;
  if (setjmp(failure.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, file);
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&info);
  image.width = int(info.output_width);
  image.height = int(info.output_height);
  image.bgr.resize(size_t(image.width) * size_t(image.height) * 3);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = image.bgr.data() + size_t(info.output_scanline) * size_t(image.width) * 3;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}
}  // namespace detail

inline DecodedImage DecodeJpeg(const std::string& path) {
  DecodedImage image;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return image;
  image.ok = detail::ReadJpeg(file, image);
  std::fclose(file);
  return image;
}

inline DecodedImage DecodePng(const std::string& path) {
  DecodedImage image;
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) return image;
  png.format = PNG_FORMAT_BGR;
  image.width = int(png.width);
  image.height = int(png.height);
  image.bgr.resize(PNG_IMAGE_SIZE(png));
  image.ok = png_image_finish_read(&png, nullptr, image.bgr.data(), 0, nullptr) != 0;
  png_image_free(&png);
  return image;
}

inline DecodedImage DecodeGif(const std::string& path) {
  DecodedImage image;
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  if (!gif) return image;
  if (DGifSlurp(gif) == GIF_OK && gif->ImageCount >= 1) {
    const SavedImage& frame = gif->SavedImages[0];
    const ColorMapObject* map = frame.ImageDesc.ColorMap ? frame.ImageDesc.ColorMap : gif->SColorMap;
    image.width = gif->SWidth;
    image.height = gif->SHeight;
    image.bgr.resize(size_t(image.width) * size_t(image.height) * 3);
    image.ok =
        map != nullptr && frame.ImageDesc.Width == image.width && frame.ImageDesc.Height == image.height;
    for (size_t i = 0; image.ok && i < size_t(image.width) * size_t(image.height); ++i) {
      const int index = frame.RasterBits[i];
      if (index >= map->ColorCount) {
        image.ok = false;
        break;
      }
      image.bgr[3 * i] = map->Colors[index].Blue;
      image.bgr[3 * i + 1] = map->Colors[index].Green;
      image.bgr[3 * i + 2] = map->Colors[index].Red;
    }
  }
  DGifCloseFile(gif, &error);
  return image;
}

inline DecodedImage DecodeBmp(const std::string& path) {
  DecodedImage image;
  QImage read(QString::fromStdString(path), "BMP");
  if (read.isNull()) return image;
  read = read.convertToFormat(QImage::Format_BGR888);
  image.width = read.width();
  image.height = read.height();
  for (int y = 0; y < image.height; ++y)
    image.bgr.insert(image.bgr.end(), read.constScanLine(y), read.constScanLine(y) + image.width * 3);
  image.ok = true;
  return image;
}

// Mean absolute difference per channel between a decoded picture and BGR
// rows of the same size (strideBytes apart); a huge value when the sizes differ.
inline double MeanDifference(const DecodedImage& image, const uint8_t* bgr, int width, int height,
                             int strideBytes) {
  if (!image.ok || image.width != width || image.height != height) return 1e9;
  int64_t sum = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width * 3; ++x)
      sum += std::abs(int(image.bgr[size_t(y) * size_t(width) * 3 + size_t(x)]) -
                      int(bgr[size_t(y) * size_t(strideBytes) + size_t(x)]));
  return double(sum) / (double(width) * height * 3);
}

inline double MeanDifference(const DecodedImage& image, const TBitmap& bitmap) {
  return MeanDifference(image, bitmap.Bits(), bitmap.Width(), bitmap.Height(), bitmap.Stride());
}

}  // namespace apptest
