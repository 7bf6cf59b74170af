// The moving waveform shown for a playback without pictures: the sound's
// last samples as one band per channel.
#pragma once

#include <atomic>
#include <cstdint>

#include "media/library_tables.h"

// Where to start drawing in the sample ring (interleaved channels) so that
// the picture stays steady: behind the write index by what SDL has not
// played yet, moved back to a rising zero crossing.
int WaveformStart(const std::atomic<int16_t>* ring, int ringSize, int writeIndex, int delaySamples, int channels);

// Black area (left, top, width, height), then per channel a white bar per
// column around the band's centre line and a white line between bands.
void DrawWaveform(SDL_Renderer* renderer, int left, int top, int width, int height,
                  const std::atomic<int16_t>* ring, int ringSize, int start, int channels);
