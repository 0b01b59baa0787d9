// The data-row formats: each column's field chosen from the run's parameters
// so that its values keep their meaning at any scale, and widened from the
// bounds of its values so that none is a run of asterisks.
#include "layout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "peaks.h"
#include "spectral.h"

namespace ramp {

namespace {

// The largest |v'| of the velocity 2 fc sech^2(4 fc (t - tau2)) is
// 16 fc^2 max(tanh sech^2) = 16 fc^2 * 2 / (3 sqrt 3), a little above this.
constexpr double kPeakSlope = 6.1585;

// The most decimals of a fixed field of times or frequencies: those of the
// finest time step, 1 ns.
constexpr int32_t kMostDecimals = 10;

// Whether a last digit of this unit, to which rounding moves a value by at
// most half of it, keeps every value within a twentieth of step (with room
// for the rounding of step itself).
bool resolves(double unit, double step) { return unit <= step / 10 * (1 + 1e-9); }

// Whether each of the n values value(k), k = 0 to n - 1, which lie k steps
// from 0, rounded to d decimals, lies within a twentieth of step of itself:
// so whenever the last decimal resolves step, and otherwise for the values
// at hand (0.0005 s in F8.4 round to nothing).
template <class Value>
bool rounds_within(int32_t d, double step, int32_t n, Value value) {
  const double scale = std::pow(10.0, d);
  if (n < 2 || resolves(1 / scale, step)) return true;
  // In units of the last decimal the step is q = m + delta, and the k-th
  // value lies k delta from a whole number of units, while that stays below
  // a half.
  const double q = step * scale, room = q / 20 * (1 + 1e-9);
  const double delta = std::fabs(q - std::round(q));
  if (delta > room) return false;            // the second value already
  if (delta * (n - 1) <= room) return true;  // the last value still within
  if (room + delta <= 0.5) return false;     // one value past room, below a half
  for (int32_t k = 0; k < n; ++k) {          // steps above a quarter: a few values
    const double y = value(k) * scale;
    if (std::fabs(y - std::round(y)) > room) return false;
  }
  return true;
}

// An Ew.d field of a positive value whose d digits resolve step: the
// fewest digits, four at least, whose last unit at the value's exponent
// does.
std::string e_field(double step, double last) {
  int32_t d = 4;
  for (;; ++d) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*E", static_cast<int>(d - 1), last);
    const int exp10 = std::atoi(std::strchr(text, 'E') + 1);  // last is d.ddd x 10^exp10
    if (resolves(std::pow(10.0, exp10 + 1 - d), step) || d == 17) break;
  }
  char text[16];
  std::snprintf(text, sizeof text, "E%d.%d", static_cast<int>(d + 8), static_cast<int>(d));
  return text;
}

// The field of a column of the n values value(k) step apart, the largest
// last: F8.4 while its rounding keeps within a twentieth of a step,
// otherwise as many more decimals as that needs, and as many more columns;
// widened to hold last. Beyond ten decimals the leading zeros would
// outnumber the digits: an E field then.
template <class Value>
std::string step_field(double step, double last, int32_t n, Value value) {
  last = std::max(last, step);
  int32_t d = 4;
  while (d < kMostDecimals && !rounds_within(d, step, n, value)) ++d;
  if (!rounds_within(d, step, n, value)) return e_field(step, last);
  char text[16];
  std::snprintf(text, sizeof text, "F%d.%d", static_cast<int>(fit_width(d + 4, d, last, false)),
                static_cast<int>(d));
  return text;
}

// Whether F15.7 shows a column whose largest magnitude is peak to six
// significant digits (a column of zeros has none to show).
bool six_digits(double peak) {
  char text[400];
  std::snprintf(text, sizeof text, "%.7f", peak);
  const char* p = text;
  while (*p == '0' || *p == '.') ++p;
  return peak == 0 || std::strlen(p) - (std::strchr(p, '.') != nullptr ? 1 : 0) >= 6;
}

// The field of the velocity or the acceleration, whose largest magnitude is
// peak and whose values are at most bound: F15.7, widened to hold bound,
// while it shows peak to six digits. Otherwise E15.7: the values of these
// columns fall off exponentially from the peak, so they span more decades
// than a fixed field carries, and seven significant digits of every one
// take the same fifteen columns.
std::string motion_field(double peak, double bound, bool negative) {
  if (!six_digits(peak)) return "E15.7";
  char text[16];
  std::snprintf(text, sizeof text, "F%d.7", static_cast<int>(fit_width(15, 7, bound, negative)));
  return text;
}

// The peaks of the columns: those of local_peaks, or those of every row
// when the rounding that local_peaks leaves out of the acceleration's could
// decide whether F15.7 shows it to six digits, or whether it is 0.
peaks decided_peaks(const samples& s) {
  const peaks p = local_peaks(s);
  // A few hundred units of the velocities' rounding over dt; none when every
  // velocity is 0.
  const double slack = p.velocity > 0 ? 1e-13 * s.fc / s.dt : 0;
  const double lo = p.acceleration, hi = lo * (1 + 1e-6) + slack;
  if (six_digits(lo) != six_digits(hi) || (lo == 0 && hi > 0)) return column_peaks(s, 1, s.nt);
  return p;
}

}  // namespace

int32_t fit_width(int32_t w, int32_t d, double bound, bool negative) {
  // A field's text is no longer than that of the largest magnitude, since
  // rounding keeps the order of values.
  char text[400];
  int n = std::snprintf(text, sizeof text, "%.*f", static_cast<int>(d), bound);
  return std::max(w, n + (negative ? 1 : 0));
}

std::string slip_format(double dt, int32_t nt, double fc, double tau2) {
  // Times grow with the row: the last is the largest. The velocity is
  // 2 fc times a factor of at most 1. The acceleration is a difference of
  // two velocities over dt: at most 2 fc, and at most the steepest slope
  // times dt, with room for the velocities' rounding.
  double peak = fc + fc;
  double accel = (std::min(peak, kPeakSlope * fc * fc * dt) + 1e-14 * peak) / dt;
  const peaks p = decided_peaks(samples{dt, nt, fc, tau2});
  const std::string t = step_field(dt, static_cast<double>(nt - 1) * dt, nt,
                                   [dt](int32_t k) { return static_cast<double>(k) * dt; });
  const std::string v = motion_field(p.velocity, peak, false);
  const std::string a = motion_field(p.acceleration, accel * (1 + 1e-12), true);
  // The byte 0x02 delimits the literals.
  if (v == "F15.7" && a == "F15.7") return "(" + t + ",3(\x02,\x02,F15.7))";
  return "(" + t + ",\x02,\x02," + v + ",\x02,\x02,F15.7,\x02,\x02," + a + ")";
}

std::string amp_format(double dom, int32_t nom) {
  // Frequencies grow with the line, k steps from 0 on line k + 1; the last
  // written is line nom.
  auto freq = [dom](int32_t k) {
    return static_cast<double>(k) * dom / (spectral::pai + spectral::pai);
  };
  const std::string f = step_field(freq(1), freq(nom - 1), nom, freq);
  return "(" + f + ",3(\x02,\x02,E12.4))";
}

}  // namespace ramp
