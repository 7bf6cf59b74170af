// How a video stream wants to be turned for display. Phones store their
// pictures as the sensor saw them and record the turn in the stream's
// display matrix; players and the converter turn the pictures upright.
#pragma once

extern "C" {
#include <libavformat/avformat.h>
}

// The clockwise turn, in degrees (0, 90, 180 or 270), that makes the
// stream's pictures upright. 0 for a stream without a display matrix and
// for one whose matrix is not a plain quarter turn (mirrored, skewed or an
// odd angle), which the converter does not apply.
int StreamDisplayRotation(const AVStream* stream);

// The picture size after a turn of `rotation` degrees: width and height
// swap for a quarter turn.
inline bool RotationSwapsSize(int rotation) { return rotation == 90 || rotation == 270; }
