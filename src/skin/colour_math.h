// Colour arithmetic for composing looks and checking that text reads.
#pragma once

#include <QColor>

namespace skin {

// a moved towards b by t (0 = a, 1 = b), channel by channel in sRGB.
QColor Mix(const QColor& a, const QColor& b, double t);

// Contrast ratio of two colours as the web accessibility guidelines define
// it: 1 for equal colours up to 21 for black on white.
double ContrastRatio(const QColor& a, const QColor& b);

}  // namespace skin
