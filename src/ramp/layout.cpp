// The data-row formats, widened from the bounds of each column's values.
#include "layout.h"

#include <algorithm>
#include <cstdio>

#include "spectral.h"

namespace ramp {

namespace {

// The formats of a run whose values all fit their fields; the byte 0x02
// delimits their literals.
constexpr const char* kSlipFormat = "(F8.4,3(\x02,\x02,F15.7))";
constexpr const char* kAmpFormat = "(F8.4,3(\x02,\x02,E12.4))";

// The largest |v'| of the velocity 2 fc sech^2(4 fc (t - tau2)) is
// 16 fc^2 max(tanh sech^2) = 16 fc^2 * 2 / (3 sqrt 3), a little above this.
constexpr double kPeakSlope = 6.1585;

}  // namespace

int32_t fit_width(int32_t w, int32_t d, double bound, bool negative) {
  // A field's text is no longer than that of the largest magnitude, since
  // rounding keeps the order of values.
  char text[400];
  int n = std::snprintf(text, sizeof text, "%.*f", static_cast<int>(d), bound);
  return std::max(w, n + (negative ? 1 : 0));
}

std::string slip_format(double dt, int32_t nt, double fc) {
  // Times grow with the row: the last is the largest. The velocity is
  // 2 fc times a factor of at most 1. The acceleration is a difference of
  // two velocities over dt: at most 2 fc, and at most the steepest slope
  // times dt, with room for the velocities' rounding.
  double last_time = static_cast<double>(nt - 1) * dt;
  double peak = fc + fc;
  double accel = (std::min(peak, kPeakSlope * fc * fc * dt) + 1e-14 * peak) / dt;
  int32_t t = fit_width(8, 4, last_time, false);
  int32_t v = fit_width(15, 7, peak, false);
  int32_t a = fit_width(15, 7, accel * (1 + 1e-12), true);
  if (t == 8 && v == 15 && a == 15) return kSlipFormat;
  char text[96];
  if (v == 15 && a == 15)
    std::snprintf(text, sizeof text, "(F%d.4,3(\x02,\x02,F15.7))", t);
  else
    std::snprintf(text, sizeof text, "(F%d.4,\x02,\x02,F%d.7,\x02,\x02,F15.7,\x02,\x02,F%d.7)", t,
                  v, a);
  return text;
}

std::string amp_format(double dom, int32_t nom) {
  // Frequencies grow with the line; the last written is line nom.
  double last_freq = static_cast<double>(nom - 1) * dom / (spectral::pai + spectral::pai);
  int32_t f = fit_width(8, 4, std::max(last_freq, 0.0), false);
  if (f == 8) return kAmpFormat;
  char text[48];
  std::snprintf(text, sizeof text, "(F%d.4,3(\x02,\x02,E12.4))", f);
  return text;
}

}  // namespace ramp
