#include "media/frame_to_bitmap.h"

#include <cstring>

namespace {
constexpr int kScaleFlags = SWS_BICUBIC;
}

void TFrameBitmapConverter::Reset() {
  Bitmap.reset();
  if (Buffer) lib::av_free(Buffer);
  Buffer = nullptr;
  BufferSize = 0;
  for (int i = 0; i < 4; ++i) {
    Converted[i] = nullptr;
    ConvertedStride[i] = 0;
  }
  if (ToBitmap) lib::sws_freeContext(ToBitmap);
  if (FromBitmap) lib::sws_freeContext(FromBitmap);
  ToBitmap = FromBitmap = nullptr;
  LastUsedScaler = false;
}

bool FrameToBitmap(TFrameBitmapConverter& conv, const uint8_t* const data[4], const int linesize[4],
                   AVPixelFormat sourceFormat, int height, int width) {
  if (width <= 0 || height <= 0 || !data || !data[0]) return false;
  if (!conv.Bitmap)
    conv.Bitmap = std::make_unique<TBitmap>(width, height);
  else if (conv.Bitmap->Width() != width || conv.Bitmap->Height() != height)
    conv.Bitmap->SetSize(width, height);
  TBitmap& bmp = *conv.Bitmap;

  const bool convert = sourceFormat != TFrameBitmapConverter::kTargetFormat || (width & 1) || (height & 1) ||
                       linesize[0] != bmp.Stride();
  conv.LastUsedScaler = convert;
  const uint8_t* const* rows = data;
  const int* strides = linesize;
  if (convert) {
    const int size = lib::av_image_get_buffer_size(TFrameBitmapConverter::kTargetFormat, width, height, 1);
    if (size < 0) return false;
    if (!conv.Buffer || conv.BufferSize < size) {
      if (conv.Buffer) lib::av_free(conv.Buffer);
      conv.Buffer = static_cast<uint8_t*>(lib::av_malloc(size_t(size)));
      conv.BufferSize = conv.Buffer ? size : 0;
      if (!conv.Buffer) return false;
    }
    if (lib::av_image_fill_arrays(conv.Converted, conv.ConvertedStride, conv.Buffer,
                                  TFrameBitmapConverter::kTargetFormat, width, height, 1) < 0)
      return false;
    conv.ToBitmap = lib::sws_getCachedContext(conv.ToBitmap, width, height, sourceFormat, width, height,
                                              TFrameBitmapConverter::kTargetFormat, kScaleFlags, nullptr,
                                              nullptr, nullptr);
    if (!conv.ToBitmap) return false;
    lib::sws_scale(conv.ToBitmap, data, linesize, 0, height, conv.Converted, conv.ConvertedStride);
    rows = conv.Converted;
    strides = conv.ConvertedStride;
  }
  // Row by row: the bitmap's rows are padded, the picture's may not be.
  const size_t rowBytes = size_t(width) * 3;
  std::lock_guard<TBitmap> guard(bmp);
  for (int r = 0; r < height; ++r)
    std::memcpy(bmp.Scanline(r), rows[0] + ptrdiff_t(r) * strides[0], rowBytes);
  return true;
}

bool FrameToBitmap(TFrameBitmapConverter& conv, const AVFrame* frame) {
  return FrameToBitmap(conv, frame->data, frame->linesize, AVPixelFormat(frame->format), frame->height,
                       frame->width);
}

bool BitmapToFrame(TFrameBitmapConverter& conv, const TBitmap& bitmap, uint8_t* const data[4],
                   const int linesize[4], AVPixelFormat format, int height, int width) {
  if (width <= 0 || height <= 0 || bitmap.Width() != width || bitmap.Height() != height) return false;
  conv.FromBitmap =
      lib::sws_getCachedContext(conv.FromBitmap, width, height, TFrameBitmapConverter::kTargetFormat, width,
                                height, format, kScaleFlags, nullptr, nullptr, nullptr);
  if (!conv.FromBitmap) return false;
  const uint8_t* src[4] = {bitmap.Bits(), nullptr, nullptr, nullptr};
  const int srcStride[4] = {bitmap.Stride(), 0, 0, 0};
  return lib::sws_scale(conv.FromBitmap, src, srcStride, 0, height, data, linesize) == height;
}

bool BitmapToFrame(TFrameBitmapConverter& conv, const TBitmap& bitmap, AVFrame* frame) {
  return BitmapToFrame(conv, bitmap, frame->data, frame->linesize, AVPixelFormat(frame->format),
                       frame->height, frame->width);
}
