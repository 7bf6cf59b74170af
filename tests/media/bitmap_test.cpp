#include "media/bitmap.h"

#include <gtest/gtest.h>

#include "media/frame_to_bitmap.h"
#include "media/library_tables.h"
#include "support/media_libraries.h"

namespace {

AVFrame* MakeFrame(AVPixelFormat format, int width, int height) {
  AVFrame* f = lib::av_frame_alloc();
  f->format = format;
  f->width = width;
  f->height = height;
  EXPECT_GE(lib::av_frame_get_buffer(f, 0), 0);
  return f;
}

// BGR24 picture with a distinct colour per pixel.
void FillBgr(AVFrame* f) {
  for (int y = 0; y < f->height; ++y)
    for (int x = 0; x < f->width; ++x) {
      uint8_t* p = f->data[0] + y * f->linesize[0] + x * 3;
      p[0] = uint8_t(x * 7);
      p[1] = uint8_t(y * 5);
      p[2] = uint8_t(x + y);
    }
}

bool SamePixels(const AVFrame* f, const TBitmap& b) {
  for (int y = 0; y < f->height; ++y)
    if (std::memcmp(f->data[0] + y * f->linesize[0], b.Scanline(y), size_t(f->width) * 3) != 0) return false;
  return true;
}

}  // namespace

TEST(Bitmap, RowsArePaddedToFourBytes) {
  TBitmap b(5, 3);
  EXPECT_EQ(b.Stride(), 16);
  EXPECT_EQ(b.SizeInBytes(), 48u);
  EXPECT_EQ(b.Scanline(2) - b.Bits(), 32);
  b.SetSize(4, 2);
  EXPECT_EQ(b.Stride(), 12);
  std::lock_guard<TBitmap> guard(b);
}

TEST(FrameToBitmap, EvenBgrWithMatchingStrideIsCopiedWithoutAScaler) {
  testsupport::LoadConverterLibraries();
  TFrameBitmapConverter conv;
  // 8 x 4 BGR24: 24-byte rows, already a multiple of 4.
  AVFrame* f = MakeFrame(AV_PIX_FMT_BGR24, 8, 4);
  FillBgr(f);
  // The picture's rows handed over with exactly the bitmap's row length.
  const int bitmapRow = TBitmap::RowBytes(8);
  std::vector<uint8_t> packed(size_t(bitmapRow) * 4);
  for (int y = 0; y < 4; ++y)
    std::memcpy(&packed[size_t(y * bitmapRow)], f->data[0] + y * f->linesize[0], 24);
  const uint8_t* data[4] = {packed.data(), nullptr, nullptr, nullptr};
  const int linesize[4] = {bitmapRow, 0, 0, 0};
  ASSERT_TRUE(FrameToBitmap(conv, data, linesize, AV_PIX_FMT_BGR24, 4, 8));
  EXPECT_FALSE(conv.LastUsedScaler);
  EXPECT_EQ(conv.ToBitmap, nullptr);
  EXPECT_TRUE(SamePixels(f, *conv.Bitmap));
  lib::av_frame_free(&f);
}

TEST(FrameToBitmap, OddSizesOtherStridesAndFormatsConvert) {
  testsupport::LoadConverterLibraries();
  TFrameBitmapConverter conv;
  AVFrame* odd = MakeFrame(AV_PIX_FMT_BGR24, 7, 5);
  FillBgr(odd);
  ASSERT_TRUE(FrameToBitmap(conv, odd));
  EXPECT_TRUE(conv.LastUsedScaler);
  EXPECT_EQ(conv.Bitmap->Width(), 7);
  EXPECT_EQ(conv.Bitmap->Stride(), 24);
  EXPECT_TRUE(SamePixels(odd, *conv.Bitmap));  // BGR to BGR keeps every pixel
  lib::av_frame_free(&odd);

  // A grey YUV picture becomes grey BGR, at the new size.
  AVFrame* yuv = MakeFrame(AV_PIX_FMT_YUV420P, 32, 16);
  std::memset(yuv->data[0], 128, size_t(yuv->linesize[0]) * 16);
  std::memset(yuv->data[1], 128, size_t(yuv->linesize[1]) * 8);
  std::memset(yuv->data[2], 128, size_t(yuv->linesize[2]) * 8);
  ASSERT_TRUE(FrameToBitmap(conv, yuv));
  EXPECT_EQ(conv.Bitmap->Width(), 32);
  EXPECT_EQ(conv.Bitmap->Height(), 16);
  const uint8_t* p = conv.Bitmap->Scanline(15) + 31 * 3;
  EXPECT_NEAR(p[0], 128, 6);
  EXPECT_NEAR(p[1], p[0], 2);
  EXPECT_NEAR(p[2], p[0], 2);

  // And back: drawing into the bitmap reaches the picture.
  for (int y = 0; y < 16; ++y) std::memset(conv.Bitmap->Scanline(y), 255, 32 * 3);
  ASSERT_TRUE(BitmapToFrame(conv, *conv.Bitmap, yuv));
  EXPECT_NE(conv.FromBitmap, nullptr);
  EXPECT_GE(yuv->data[0][0], 230);
  EXPECT_NEAR(yuv->data[1][0], 128, 3);
  lib::av_frame_free(&yuv);

  conv.Reset();
  EXPECT_EQ(conv.Bitmap, nullptr);
  EXPECT_EQ(conv.ToBitmap, nullptr);
  EXPECT_EQ(conv.Buffer, nullptr);
}
