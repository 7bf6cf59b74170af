// Bitmap subtitles blended into the pictures: the palette conversion and
// the blending of one subtitle rectangle into a planar 4:2:0 picture, in
// the integer arithmetic the overlay uses everywhere.
#pragma once

#include <cstdint>

#include "media/library_tables.h"

// (alpha, red, green, blue) -> (alpha, Y, U, V), 8 bits each, alpha on top.
uint32_t PaletteEntryToYuv(uint32_t argb);

// Blends an 8-bit indexed rectangle whose palette is already in
// (alpha, Y, U, V) into the picture (planes Y, U, V of a width x height
// 4:2:0 picture). The rectangle is clipped to the picture and moved inside
// it; bitmap rows and columns outside the clipped size are never read.
void BlendSubtitleRect(uint8_t* const planes[3], const int linesize[3], int width, int height,
                       const AVSubtitleRect& rect);
