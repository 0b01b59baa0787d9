// The largest magnitudes of the velocity and acceleration columns of a run,
// found from its parameters before the first row is written.
#pragma once

#include <cstdint>

namespace ramp {

// The samples of a run: nt of them dt apart, of a ramp of frequency fc
// centred on tau2.
struct samples {
  double dt;
  int32_t nt;
  double fc, tau2;
};

// The largest |velocity| and |acceleration| of a set of rows.
struct peaks {
  double velocity, acceleration;
};

// The peaks of rows first to last (from 1), each value computed as the time
// series computes it.
peaks column_peaks(const samples& s, int32_t first, int32_t last);

// The peaks of the rows around the centre and the two steepest points of the
// velocity, where the columns' peaks lie. The velocity's is that of every
// row, as each value computed falls with the distance from the centre; the
// acceleration's is, but for the rounding of the velocities.
peaks local_peaks(const samples& s);

}  // namespace ramp
