// The waveform drawn into a software renderer and read back.
#include <gtest/gtest.h>

#include <array>
#include <atomic>

#include "player/waveform.h"
#include "support/media_libraries.h"

namespace {

constexpr int kW = 64, kH = 40, kRing = 1024;

class WaveformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::LoadPlayerLibraries();
    surface = lib::SDL_CreateRGBSurfaceWithFormat(0, kW, kH, 32, SDL_PIXELFORMAT_ARGB8888);
    ASSERT_NE(surface, nullptr);
    renderer = lib::SDL_CreateSoftwareRenderer(surface);
    ASSERT_NE(renderer, nullptr);
  }
  void TearDown() override {
    if (renderer) lib::SDL_DestroyRenderer(renderer);
    if (surface) lib::SDL_FreeSurface(surface);
  }
  bool White(int x, int y) {
    const uint32_t* row = reinterpret_cast<const uint32_t*>(static_cast<uint8_t*>(surface->pixels) + y * surface->pitch);
    return (row[x] & 0xffffff) == 0xffffff;
  }
  bool RowWhite(int y) {
    for (int x = 0; x < kW; ++x)
      if (!White(x, y)) return false;
    return true;
  }
  bool RowBlack(int y) {
    for (int x = 0; x < kW; ++x)
      if (White(x, y)) return false;
    return true;
  }

  SDL_Surface* surface = nullptr;
  SDL_Renderer* renderer = nullptr;
  std::array<std::atomic<int16_t>, kRing> ring{};
};

}  // namespace

TEST_F(WaveformTest, MonoDrawsOneBandOverTheWholeHeight) {
  for (auto& s : ring) s = 16384;  // half scale
  DrawWaveform(renderer, 0, 0, kW, kH, ring.data(), kRing, 0, 1);
  // h = 40, h2 = 18: bars of (16384 * 18) >> 15 = 9 below the centre line 20.
  EXPECT_TRUE(RowBlack(19));
  for (int y = 20; y <= 28; ++y) EXPECT_TRUE(RowWhite(y)) << y;
  EXPECT_TRUE(RowBlack(29));
  EXPECT_TRUE(RowBlack(0));
}

TEST_F(WaveformTest, StereoDrawsTwoBandsWithOneSeparatingLine) {
  for (int i = 0; i < kRing; ++i) ring[size_t(i)] = (i % 2 == 0) ? 16384 : -16384;
  DrawWaveform(renderer, 0, 0, kW, kH, ring.data(), kRing, 0, 2);
  // h = 20, h2 = 9. Left: 4 rows below its centre 10. Right: -4.5 floors to
  // -5, 5 rows above its centre 30. The line between the bands is row 20.
  EXPECT_TRUE(RowBlack(9));
  for (int y = 10; y <= 13; ++y) EXPECT_TRUE(RowWhite(y)) << y;
  EXPECT_TRUE(RowBlack(14));
  EXPECT_TRUE(RowWhite(20));
  EXPECT_TRUE(RowBlack(24));
  for (int y = 25; y <= 29; ++y) EXPECT_TRUE(RowWhite(y)) << y;
  EXPECT_TRUE(RowBlack(30));
}

TEST_F(WaveformTest, StartSettlesOnARisingZeroCrossing) {
  // A mono saw tooth of period 40 rising through 0 at indices 20, 60, ...
  for (int i = 0; i < kRing; ++i) ring[size_t(i)] = int16_t(((i % 40) - 20) * 1000);
  const int start = WaveformStart(ring.data(), kRing, 900, 100, 1);
  // b = ring[start + 4] and e = ring[start + 5] have opposite signs.
  EXPECT_LT(int(ring[size_t(start + 4)]) * int(ring[size_t(start + 5)]), 0);
  EXPECT_LE(start, 800);
}
