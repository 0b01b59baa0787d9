// The complex exponential and magnitude.
#include <cmath>

#include "spectral.h"

namespace spectral {

// Evaluates exp, cos and sin in that order; the imaginary part of z is read
// before *r is written.
void z_exp(complex* r, const complex* z) {
  double y = z->i;
  double e = std::exp(z->r);
  r->r = std::cos(y) * e;
  r->i = std::sin(y) * e;
}

double z_abs(const complex* z) { return f__cabs(z->r, z->i); }

// Squares only the ratio of the smaller to the larger part, which is at most
// 1, so nothing overflows unless the magnitude itself does. A negative zero
// is not below 0 and keeps its sign; NaN in either part gives NaN.
double f__cabs(double x, double y) {
  if (x < 0) x = -x;
  if (y < 0) y = -y;
  if (y > x) {
    double t = x;
    x = y;
    y = t;
  }
  if (x + y == x) return x;
  double q = y / x;
  return x * std::sqrt(1 + q * q);
}

}  // namespace spectral
