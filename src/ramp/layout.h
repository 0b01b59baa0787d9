// The formats of the data rows: each column's field from the run's
// parameters, with the decimals (or the exponent form) that keep its values
// meaningful at any scale, and wide enough that no field is a run of
// asterisks.
#pragma once

#include <cstdint>
#include <string>

namespace ramp {

// The width of an Fw.d field that holds every value of magnitude up to bound
// (and its minus sign, when negative values occur): w, or wider.
int32_t fit_width(int32_t w, int32_t d, double bound, bool negative);

// The format of the rows of time, velocity, slip and acceleration for nt
// samples dt apart of a ramp of frequency fc centred on tau2.
std::string slip_format(double dt, int32_t nt, double fc, double tau2);

// The format of the rows of frequency and the two amplitudes for the lines 2
// to nom of a spectrum whose lines are dom apart.
std::string amp_format(double dom, int32_t nom);

}  // namespace ramp
