#include "player/waveform.h"

#include <climits>
#include <cstdlib>

#include "player/player.h"

namespace {

int Mod(int64_t value, int size) {
  const int64_t m = value % size;
  return int(m < 0 ? m + size : m);
}

}  // namespace

int WaveformStart(const std::atomic<int16_t>* ring, int ringSize, int writeIndex, int delaySamples, int channels) {
  int start = Mod(int64_t(writeIndex) - int64_t(delaySamples) * channels, ringSize);
  const int from = start;
  int bestScore = INT_MIN;
  for (int i = 0; i < 1000; i += channels) {
    const int idx = Mod(int64_t(from) - i, ringSize);
    const int a = ring[idx].load(std::memory_order_relaxed);
    const int b = ring[Mod(idx + 4 * channels, ringSize)].load(std::memory_order_relaxed);
    const int e = ring[Mod(idx + 5 * channels, ringSize)].load(std::memory_order_relaxed);
    const int d = ring[Mod(idx + 9 * channels, ringSize)].load(std::memory_order_relaxed);
    const int score = a - d;
    if (score > bestScore && (b ^ e) < 0) {
      bestScore = score;
      start = idx;
    }
  }
  return start;
}

void DrawWaveform(SDL_Renderer* renderer, int left, int top, int width, int height,
                  const std::atomic<int16_t>* ring, int ringSize, int start, int channels) {
  lib::SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
  const SDL_Rect area{left, top, width, height};
  lib::SDL_RenderFillRect(renderer, &area);
  if (channels < 1 || width <= 0 || height <= 0) return;
  lib::SDL_SetRenderDrawColor(renderer, 255, 255, 255, 255);
  const int h = height / channels;
  const int h2 = h * 9 / 20;
  for (int ch = 0; ch < channels; ++ch) {
    const int y1 = top + ch * h + h / 2;
    int i = Mod(int64_t(start) + ch, ringSize);
    for (int x = 0; x < width; ++x) {
      const int y = (int(ring[i].load(std::memory_order_relaxed)) * h2) >> 15;
      const int len = std::abs(y);
      if (len > 0) {
        const SDL_Rect bar{left + x, y < 0 ? y1 - len : y1, 1, len};
        lib::SDL_RenderFillRect(renderer, &bar);
      }
      i = Mod(int64_t(i) + channels, ringSize);
    }
  }
  for (int ch = 1; ch < channels; ++ch) {
    const SDL_Rect line{left, top + ch * h, width, 1};
    lib::SDL_RenderFillRect(renderer, &line);
  }
}

void TCustomPlayer::ShowWaveform(TPlayback* is) {
  if (!renderer_ && OpenSurface(is, false) < 0) return;
  const int channels = is->audioChannels;
  const int width = is->surfaceWidth, height = is->surfaceHeight;
  if (channels < 1 || width <= 0 || height <= 0) return;
  if (!is->paused) {
    int64_t delay = (is->audioBufSize - is->audioBufIndex) / (2 * channels);
    const int64_t last = is->lastCallbackTime;
    if (last != 0) delay -= (lib::av_gettime() - last) * is->audioRate / 1000000;
    delay += 2 * width;
    if (delay < width) delay = width;
    is->lastWaveStart = WaveformStart(is->sampleRing.data(), kSampleRingSize, is->sampleRingIndex, int(delay), channels);
  }
  lib::SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  lib::SDL_RenderClear(renderer_);
  DrawWaveform(renderer_, is->left, is->top, width, height, is->sampleRing.data(), kSampleRingSize,
               is->lastWaveStart, channels);
  Present();
}
