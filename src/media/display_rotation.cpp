#include "media/display_rotation.h"

#include <cmath>
#include <cstdint>

#include "media/library_tables.h"

namespace {

// Accepted distance (degrees) from an exact quarter turn: the matrix holds
// 16.16 fixed-point sines and cosines, so a stored 90 degrees reads back as
// 89.99...
constexpr double kAngleTolerance = 0.5;

}  // namespace

int StreamDisplayRotation(const AVStream* stream) {
  if (!stream || !lib::av_stream_get_side_data || !lib::av_display_rotation_get) return 0;
  size_t size = 0;
  const uint8_t* data = lib::av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
  if (!data || size < 9 * sizeof(int32_t)) return 0;
  const auto* matrix = reinterpret_cast<const int32_t*>(data);
  // A negative determinant means a mirrored picture: not a plain turn.
  const double a = matrix[0] / 65536.0, b = matrix[1] / 65536.0;
  const double c = matrix[3] / 65536.0, d = matrix[4] / 65536.0;
  if (a * d - b * c <= 0) return 0;
  // The library gives the counter-clockwise angle in [-180, 180].
  const double angle = -lib::av_display_rotation_get(matrix);
  if (!std::isfinite(angle)) return 0;
  const double quarters = std::round(angle / 90.0);
  if (std::fabs(angle - quarters * 90.0) > kAngleTolerance) return 0;
  const int turn = int(quarters) % 4;
  return (turn < 0 ? turn + 4 : turn) * 90;
}
