// The slip-velocity function of a smooth ramp and its amplitude spectrum.
//
// Samples the slip (a tanh step from 0 to 1), its velocity and acceleration
// at nt instants and writes them to Ramp_Slip.csv; transforms the velocity
// with the radix-2 FFT and writes the velocity and acceleration amplitude
// spectra to Ramp_Amp.csv. Reports on the console, waits for one line of
// input and stops. Every line goes through the record I/O run-time.
#include <cmath>

#include "rio.h"
#include "spectral.h"
#include "statements.h"

namespace {

using rio::close_unit;
using rio::open_unit;
using rio::row;
using rio::say;
using spectral::complex;
using spectral::pai;

constexpr int32_t MOM = 16400;  // capacity of the work arrays
constexpr int32_t nt = 8192;    // number of time samples
static_assert(nt <= MOM, "the time series must fit the work arrays");

double svwave[MOM];  // slip-velocity samples
complex svamp[MOM];  // transform work array

// The two data-row formats; the byte 0x02 delimits their literals.
constexpr const char* kSlipFormat = "(F8.4,3(\x02,\x02,F15.7))";
constexpr const char* kAmpFormat = "(F8.4,3(\x02,\x02,E12.4))";

// The run's parameters: the fixed ones, and those of the spectrum, computed
// after the time series is written.
struct params {
  double dt;      // time step, s
  double tau;     // rise time of the ramp, s
  double fc;      // frequency of the ramp, Hz
  double tau2;    // centre of the ramp, s
  double dur;     // duration of the series, s
  double dom;     // frequency step, rad/s
  int32_t nom;    // lines up to the Nyquist frequency
  double eom;     // Nyquist frequency, rad/s
  int32_t nfast;  // transform length
};

// Writes Ramp_Slip.csv and fills svwave with the velocity samples.
void slip_series(const params& p) {
  const double dt = p.dt, fc = p.fc, tau2 = p.tau2;
  open_unit(11, "Ramp_Slip.csv");
  say(11, "time(s),velocity,displacement,acceleration");
  const rio::cilist io{0, 11, 0, kSlipFormat, 0};

  double tanhf = std::tanh((fc * 4.0) * (-tau2));
  svwave[0] = (fc + fc) * (1 - tanhf * tanhf);
  double svs = (1 + tanhf) * 0.5;
  row(io, 0.0, svwave[0], svs, 0.0);
  for (int32_t i = 2; i <= nt; ++i) {
    double t = static_cast<double>(i - 1) * dt;
    tanhf = std::tanh((fc * 4.0) * (t - tau2));
    svwave[i - 1] = (fc + fc) * (1 - tanhf * tanhf);
    svs = (1 + tanhf) * 0.5;
    double sva = (svwave[i - 1] - svwave[i - 2]) / dt;
    row(io, t, svwave[i - 1], svs, sva);
  }
  close_unit(11);
}

// Transforms the velocity samples and writes Ramp_Amp.csv.
void spectrum(const params& p) {
  for (int32_t i = 1; i <= nt; ++i) svamp[i - 1] = complex{svwave[i - 1], 0.0};
  for (int32_t i = nt + 1; i <= p.nfast; ++i) svamp[i - 1] = complex{0.0, 0.0};
  spectral::dwvfast(p.nfast, svamp, MOM, -1);

  open_unit(12, "Ramp_Amp.csv");
  say(12, "freq(Hz),abs(vel),abs(acc)");
  const rio::cilist io{0, 12, 0, kAmpFormat, 0};
  const double dt = p.dt;
  for (int32_t k = 2; k <= p.nom; ++k) {
    double om = static_cast<double>(k - 1) * p.dom;
    double freq = om / (pai + pai);
    // The conjugate times (dt, 0), as a full complex product.
    complex c{svamp[k - 1].r, -svamp[k - 1].i};
    svamp[k - 1] = complex{c.r * dt - c.i * 0.0, c.r * 0.0 + c.i * dt};
    row(io, freq, spectral::z_abs(&svamp[k - 1]), spectral::z_abs(&svamp[k - 1]) * om);
  }
  close_unit(12);
}

}  // namespace

void MAIN__() {
  params p{};
  p.dt = 0.01;
  p.tau = 3.8;
  p.fc = 1 / p.tau;
  p.tau2 = p.tau / 2.0;

  say(6);
  say(6, "Slip Velocity Function using Smooth Ramp Distribution");
  say(6);
  say(6, " dt,nt=", p.dt, nt);
  say(6, " fc (Hz) and Tau(s)=", p.fc, p.tau);
  say(6);
  say(6, " Slip functions are stored in Ramp_Slip.csv");
  say(6, " Fourier spectrum is stored in Ramp_Amp.csv");

  slip_series(p);

  p.dur = static_cast<double>(nt) * p.dt;
  p.dom = (pai + pai) / p.dur;
  p.nom = nt / 2;
  p.eom = static_cast<double>(p.nom) * p.dom;
  say(6);
  say(6, " DUR,DOM,NOM,EOM=", p.dur, p.dom, p.nom, p.eom);
  say(6, " Highest Frequency (hz)=", p.eom / 6.283185307);

  p.nfast = nt;
  if (p.nfast > MOM - 1) {
    // The transform would not fit the arrays, and nothing may be stored past
    // them: warn, leave the spectrum out and go on to the prompt.
    say(6, "from Ramp: nfast > MOM !", p.nfast, MOM);
  } else {
    spectrum(p);
  }

  say(6);
  say(6, "Hit any key to stop");
  rio::cilist in{0, 5, 0, nullptr, 0};
  rio::s_rsle(&in);
  rio::e_rsle();
  rio::s_stop("", 0);
}
