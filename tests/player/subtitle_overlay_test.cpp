// Subtitle palette conversion and blending, against values worked out by hand.
#include <gtest/gtest.h>

#include <vector>

#include "player/subtitle_overlay.h"

namespace {

// An 8 x 8 planar 4:2:0 picture of one colour.
struct Picture {
  std::vector<uint8_t> y = std::vector<uint8_t>(64, 100), u = std::vector<uint8_t>(16, 128),
                       v = std::vector<uint8_t>(16, 128);
  uint8_t* planes[3] = {y.data(), u.data(), v.data()};
  int linesize[3] = {8, 4, 4};
  uint8_t Y(int x, int row) const { return y[size_t(row * 8 + x)]; }
  uint8_t U(int x, int row) const { return u[size_t(row * 4 + x)]; }
  uint8_t V(int x, int row) const { return v[size_t(row * 4 + x)]; }
};

// A rectangle whose pixels all use palette entry 1 (entry 0 is transparent).
struct Rect {
  Rect(int x, int y, int w, int h, uint32_t ayuv) : bitmap(size_t(w * h), 1) {
    palette[1] = ayuv;
    rect.x = x;
    rect.y = y;
    rect.w = w;
    rect.h = h;
    rect.nb_colors = 256;
    rect.data[0] = bitmap.data();
    rect.data[1] = reinterpret_cast<uint8_t*>(palette);
    rect.linesize[0] = w;
  }
  std::vector<uint8_t> bitmap;
  uint32_t palette[256] = {};
  AVSubtitleRect rect{};
};

}  // namespace

TEST(SubtitleOverlay, PaletteEntriesTurnIntoAlphaYuv) {
  EXPECT_EQ(PaletteEntryToYuv(0xFFFFFFFFu), 0xFFEB8080u);  // white: Y 235
  EXPECT_EQ(PaletteEntryToYuv(0x80000000u), 0x80108080u);  // black: Y 16, alpha kept
  EXPECT_EQ(PaletteEntryToYuv(0xFFFF0000u), 0xFF515AF0u);  // red: Y 81, U 90, V 240
}

TEST(SubtitleOverlay, AlphaZeroLeavesThePictureAndFullAlphaReplacesIt) {
  Picture p;
  Rect clear(0, 0, 8, 8, 0x00C83240u);
  BlendSubtitleRect(p.planes, p.linesize, 8, 8, clear.rect);
  EXPECT_EQ(p.Y(3, 3), 100);
  EXPECT_EQ(p.U(1, 1), 128);

  Rect solid(0, 0, 8, 8, 0xFFC83240u);  // Y 200, U 50, V 64
  BlendSubtitleRect(p.planes, p.linesize, 8, 8, solid.rect);
  EXPECT_EQ(p.Y(0, 0), 200);
  EXPECT_EQ(p.Y(7, 7), 200);
  EXPECT_EQ(p.U(2, 3), 50);
  EXPECT_EQ(p.V(2, 3), 64);
}

TEST(SubtitleOverlay, ChromaOfPartlyCoveredBlocks) {
  // One pixel of each of four chroma blocks: k = 1, A = 255 >> 2 = 63.
  Picture p;
  Rect corner(1, 1, 2, 2, 0xFFC8323Cu);  // Y 200, U 50, V 60
  BlendSubtitleRect(p.planes, p.linesize, 8, 8, corner.rect);
  EXPECT_EQ(p.Y(1, 1), 200);
  EXPECT_EQ(p.Y(0, 0), 100);
  EXPECT_EQ(p.Y(3, 3), 100);
  for (int cy = 0; cy < 2; ++cy) {
    for (int cx = 0; cx < 2; ++cx) {
      EXPECT_EQ(p.U(cx, cy), (128 * 192 + 50 * 63) / 255);  // 108
      EXPECT_EQ(p.V(cx, cy), (128 * 192 + 60 * 63) / 255);  // 111
    }
  }
  EXPECT_EQ(p.U(2, 2), 128);

  // Two pixels of one block: k = 2, s = 1, A = 510 >> 2 = 127.
  Picture q;
  Rect row(0, 1, 2, 1, 0xFFC8323Cu);
  BlendSubtitleRect(q.planes, q.linesize, 8, 8, row.rect);
  EXPECT_EQ(q.U(0, 0), ((128 << 1) * (255 - 127) + 100 * 127) / (255 << 1));  // 89
  EXPECT_EQ(q.U(1, 0), 128);
}

TEST(SubtitleOverlay, RectanglesAreClippedAndMovedIntoThePicture) {
  // Larger than the picture: clipped to it, only its first 8 x 8 read.
  Picture p;
  Rect big(-5, 3, 20, 20, 0xFFC8323Cu);
  for (int r = 0; r < 20; ++r)
    for (int c = 8; c < 20; ++c) big.bitmap[size_t(r * 20 + c)] = 0;  // would show as unchanged
  BlendSubtitleRect(p.planes, p.linesize, 8, 8, big.rect);
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c) ASSERT_EQ(p.Y(c, r), 200) << c << "," << r;

  // Beyond the right edge: moved in so that it ends at the edge.
  Picture q;
  Rect right(6, 0, 4, 2, 0xFFC8323Cu);
  BlendSubtitleRect(q.planes, q.linesize, 8, 8, right.rect);
  EXPECT_EQ(q.Y(3, 0), 100);
  EXPECT_EQ(q.Y(4, 0), 200);
  EXPECT_EQ(q.Y(7, 1), 200);
  EXPECT_EQ(q.Y(7, 2), 100);
}
