// Decoded pictures into 24-bit bitmaps and back. One converter per user
// (the engine's preview and hook paths, the player's snapshot and hook);
// it belongs to one thread at a time.
#pragma once

#include <memory>

#include "media/bitmap.h"
#include "media/library_tables.h"

struct TFrameBitmapConverter {
  TFrameBitmapConverter() = default;
  TFrameBitmapConverter(const TFrameBitmapConverter&) = delete;
  TFrameBitmapConverter& operator=(const TFrameBitmapConverter&) = delete;
  ~TFrameBitmapConverter() { Reset(); }

  // Frees the bitmap, the buffer and both scaler contexts.
  void Reset();

  static constexpr AVPixelFormat kTargetFormat = AV_PIX_FMT_BGR24;
  std::unique_ptr<TBitmap> Bitmap;  // made on first use
  uint8_t* Buffer = nullptr;        // conversion buffer (av_malloc), grows only
  int BufferSize = 0;
  uint8_t* Converted[4] = {};  // the converted picture laid over Buffer
  int ConvertedStride[4] = {};
  SwsContext* ToBitmap = nullptr;    // cached, source format -> BGR24
  SwsContext* FromBitmap = nullptr;  // cached, BGR24 -> picture format
  bool LastUsedScaler = false;       // whether the last FrameToBitmap converted
};

// Makes or resizes the converter's bitmap to width x height and fills it
// with the picture. An even-sized BGR24 picture whose first stride equals
// the bitmap's row length is copied as it is; anything else is converted
// with the cached scaler context. Returns false for a size or format the
// scaler refuses.
bool FrameToBitmap(TFrameBitmapConverter& conv, const uint8_t* const data[4], const int linesize[4],
                   AVPixelFormat sourceFormat, int height, int width);
bool FrameToBitmap(TFrameBitmapConverter& conv, const AVFrame* frame);

// The way back: converts the bitmap (of the picture's size) into the
// picture's planes in its format, with the second cached context.
bool BitmapToFrame(TFrameBitmapConverter& conv, const TBitmap& bitmap, uint8_t* const data[4],
                   const int linesize[4], AVPixelFormat format, int height, int width);
bool BitmapToFrame(TFrameBitmapConverter& conv, const TBitmap& bitmap, AVFrame* frame);
