// The two phases of a run: the slip time series and its file, the
// amplitude spectrum and its file.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "options.h"
#include "progress.h"
#include "spectral.h"

namespace ramp {

// The capacity of the work arrays: 16400, or one more than the samples.
constexpr int32_t kMinMOM = 16400;

// The run's parameters: those of the command line, and those of the
// spectrum, computed after the time series is written.
struct params {
  double dt;      // time step, s
  int32_t nt;     // number of time samples
  double tau;     // rise time of the ramp, s
  double fc;      // frequency of the ramp, Hz
  double tau2;    // centre of the ramp, s
  double dur;     // duration of the series, s
  double dom;     // frequency step, rad/s
  int32_t nom;    // lines up to the Nyquist frequency
  double eom;     // Nyquist frequency, rad/s
  int32_t nfast;  // transform length
};

// An array zero at start, from calloc: the system's zero pages, which a
// large array takes without writing them first.
struct freer {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using zeroed = std::unique_ptr<T[], freer>;

// The parameters of the time series, from the command line's options.
params series_params(const options& o);

// Adds the spectrum's parameters (dur, dom, nom, eom, nfast) to those of the
// time series.
void spectrum_params(params& p);

// The work arrays, zero at start: the slip-velocity samples and the
// transform's array, MOM entries each.
struct work {
  int32_t MOM;
  zeroed<double> svwave;
  zeroed<spectral::complex> svamp;
};

// The arrays for nt samples; throws std::bad_alloc when there is no room.
work make_work(int32_t nt);

// Writes Ramp_Slip.csv with rows of the given format and fills svwave with
// the velocity samples.
void slip_series(const params& p, work& w, const std::string& format, progress& shown);

// Transforms the velocity samples and writes Ramp_Amp.csv with rows of the
// given format.
void spectrum(const params& p, work& w, const std::string& format, progress& shown);

}  // namespace ramp
