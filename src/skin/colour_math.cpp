#include "skin/colour_math.h"

#include <cmath>
#include <utility>

namespace skin {
namespace {

double Linear(int channel) {
  const double c = channel / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& c) {
  return 0.2126 * Linear(c.red()) + 0.7152 * Linear(c.green()) + 0.0722 * Linear(c.blue());
}

int Between(int a, int b, double t) { return int(std::lround(a + (b - a) * t)); }

}  // namespace

QColor Mix(const QColor& a, const QColor& b, double t) {
  return QColor(Between(a.red(), b.red(), t), Between(a.green(), b.green(), t),
                Between(a.blue(), b.blue(), t));
}

double ContrastRatio(const QColor& a, const QColor& b) {
  double la = Luminance(a), lb = Luminance(b);
  if (la < lb) std::swap(la, lb);
  return (la + 0.05) / (lb + 0.05);
}

}  // namespace skin
