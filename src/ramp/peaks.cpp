// The columns' peaks from a few rows around the places where they lie.
#include "peaks.h"

#include <algorithm>
#include <cmath>

namespace ramp {

namespace {

// The rows searched on either side of each place.
constexpr int32_t kAround = 4;

// atanh(1/sqrt 3): 4 fc (t - tau2) at the velocity's steepest points, where
// tanh sech^2 is largest.
constexpr double kSteepest = 0.6584789484624084;

// The velocity of row i, as slip_series computes it.
double velocity(const samples& s, int32_t i) {
  double t = static_cast<double>(i - 1) * s.dt;
  double tanhf = std::tanh((s.fc * 4.0) * (t - s.tau2));
  return (s.fc + s.fc) * (1 - tanhf * tanhf);
}

// The row nearest after time t, within the series.
int32_t row_at(const samples& s, double t) {
  double i = std::floor(t / s.dt) + 1;
  return static_cast<int32_t>(std::clamp(i, 1.0, static_cast<double>(s.nt)));
}

}  // namespace

peaks column_peaks(const samples& s, int32_t first, int32_t last) {
  peaks p{0, 0};
  double before = first > 1 ? velocity(s, first - 1) : 0;
  for (int32_t i = first; i <= last; ++i) {
    double v = velocity(s, i);
    p.velocity = std::max(p.velocity, std::fabs(v));
    if (i > 1) p.acceleration = std::max(p.acceleration, std::fabs((v - before) / s.dt));
    before = v;
  }
  return p;
}

peaks local_peaks(const samples& s) {
  // The velocity is largest at the row nearest the centre. On either side
  // of it the difference of two rows is the integral of the slope, which
  // has one extreme there, over a step: largest at the rows just after the
  // steepest point, or at the end of the series nearest to it.
  peaks p{0, 0};
  const double off = kSteepest / (4 * s.fc);
  for (double t : {s.tau2 - off, s.tau2, s.tau2 + off}) {
    int32_t at = row_at(s, t);
    peaks q = column_peaks(s, std::max(1, at - kAround), std::min(s.nt, at + kAround));
    p.velocity = std::max(p.velocity, q.velocity);
    p.acceleration = std::max(p.acceleration, q.acceleration);
  }
  return p;
}

}  // namespace ramp
