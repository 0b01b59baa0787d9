// The slip-velocity function of a smooth ramp and its amplitude spectrum.
//
// Samples the slip (a tanh step from 0 to 1), its velocity and acceleration
// at nt instants and writes them to Ramp_Slip.csv; transforms the velocity
// with the radix-2 FFT and writes the velocity and acceleration amplitude
// spectra to Ramp_Amp.csv. Reports on the console, waits for one line of
// input and stops. Every line goes through the record I/O run-time.
#include <cmath>
#include <string_view>

#include "rio.h"
#include "spectral.h"

namespace {

using spectral::complex;

constexpr int32_t MOM = 16400;  // capacity of the work arrays
constexpr int32_t nt = 8192;    // number of time samples
static_assert(nt <= MOM, "the time series must fit the work arrays");

double svwave[MOM];  // slip-velocity samples
complex svamp[MOM];  // transform work array

// The two data-row formats; the byte 0x02 delimits their literals.
constexpr const char* kSlipFormat = "(F8.4,3(\x02,\x02,F15.7))";
constexpr const char* kAmpFormat = "(F8.4,3(\x02,\x02,E12.4))";

// One item of a list-directed statement.
void item(std::string_view text) {
  int32_t type = rio::TYCHAR, one = 1;
  rio::do_lio(&type, &one, text.data(), static_cast<int32_t>(text.size()));
}
void item(double x) {
  int32_t type = rio::TYDREAL, one = 1;
  rio::do_lio(&type, &one, &x, sizeof x);
}
void item(int32_t n) {
  int32_t type = rio::TYINT, one = 1;
  rio::do_lio(&type, &one, &n, sizeof n);
}

// One list-directed write statement: start, one call per item, end.
template <typename... Items>
void say(int32_t unit, const Items&... items) {
  rio::cilist io{0, unit, 0, nullptr, 0};
  rio::s_wsle(&io);
  (item(items), ...);
  rio::e_wsle();
}

// One formatted write statement of double values.
template <typename... Values>
void row(const rio::cilist& io, Values... values) {
  int32_t one = 1;
  rio::s_wsfe(&io);
  ((void)rio::do_fio(&one, &values, sizeof(double)), ...);
  rio::e_wsfe();
}

void open_unit(int32_t unit, std::string_view name) {
  rio::olist o{0,       unit, name.data(), static_cast<int32_t>(name.size()), "unknown", nullptr,
               nullptr, 0,    nullptr};
  rio::f_open(&o);
}

void close_unit(int32_t unit) {
  rio::cllist c{0, unit, nullptr};
  rio::f_clos(&c);
}

// Writes Ramp_Slip.csv and fills svwave with the velocity samples.
void slip_series(double dt, double fc, double tau2) {
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
void spectrum(int32_t nfast, int32_t nom, double dom, double dt, double pai) {
  for (int32_t i = 1; i <= nt; ++i) svamp[i - 1] = complex{svwave[i - 1], 0.0};
  for (int32_t i = nt + 1; i <= nfast; ++i) svamp[i - 1] = complex{0.0, 0.0};
  spectral::dwvfast(nfast, svamp, MOM, -1);

  open_unit(12, "Ramp_Amp.csv");
  say(12, "freq(Hz),abs(vel),abs(acc)");
  const rio::cilist io{0, 12, 0, kAmpFormat, 0};
  for (int32_t k = 2; k <= nom; ++k) {
    double om = static_cast<double>(k - 1) * dom;
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
  const double dt = 0.01;
  const double tau = 3.8;
  const double fc = 1 / tau;
  const double tau2 = tau / 2.0;

  say(6);
  say(6, "Slip Velocity Function using Smooth Ramp Distribution");
  say(6);
  say(6, " dt,nt=", dt, nt);
  say(6, " fc (Hz) and Tau(s)=", fc, tau);
  const double pai = 3.141592654;
  say(6);
  say(6, " Slip functions are stored in Ramp_Slip.csv");
  say(6, " Fourier spectrum is stored in Ramp_Amp.csv");

  slip_series(dt, fc, tau2);

  const double dur = static_cast<double>(nt) * dt;
  const double dom = (pai + pai) / dur;
  const int32_t nom = nt / 2;
  const double eom = static_cast<double>(nom) * dom;
  say(6);
  say(6, " DUR,DOM,NOM,EOM=", dur, dom, nom, eom);
  say(6, " Highest Frequency (hz)=", eom / 6.283185307);

  const int32_t nfast = nt;
  if (nfast > MOM - 1) {
    // The transform would not fit the arrays: warn and leave the spectrum out.
    say(6, "from Ramp: nfast > MOM !", nfast, MOM);
  } else {
    spectrum(nfast, nom, dom, dt, pai);
  }

  say(6);
  say(6, "Hit any key to stop");
  rio::cilist in{0, 5, 0, nullptr, 0};
  rio::s_rsle(&in);
  rio::e_rsle();
  rio::s_stop("", 0);
}
