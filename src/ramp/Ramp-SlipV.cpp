// The slip-velocity function of a smooth ramp and its amplitude spectrum.
//
// Samples the slip (a tanh step from 0 to 1), its velocity and acceleration
// at nt instants and writes them to Ramp_Slip.csv; transforms the velocity
// with the radix-2 FFT and writes the velocity and acceleration amplitude
// spectra to Ramp_Amp.csv. Reports on the console, waits for one line of
// input and stops. Every line goes through the record I/O run-time. The
// command line sets the rise time, the time step, the number of samples and
// the centre of the ramp; without options the run is the one it always was.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "layout.h"
#include "options.h"
#include "progress.h"
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

// The capacity of the work arrays: 16400, or one more than the samples.
constexpr int32_t kMinMOM = 16400;

// Rows written between two looks at the clock for the progress line.
constexpr int32_t kChunk = 1 << 16;

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

// The work arrays, zero at start: the slip-velocity samples and the
// transform's array, MOM entries each.
struct work {
  int32_t MOM;
  std::vector<double> svwave;
  std::vector<complex> svamp;
};

// Writes Ramp_Slip.csv and fills svwave with the velocity samples.
void slip_series(const params& p, work& w, const std::string& format, ramp::progress& shown) {
  const double dt = p.dt, fc = p.fc, tau2 = p.tau2;
  double* svwave = w.svwave.data();
  open_unit(11, "Ramp_Slip.csv");
  say(11, "time(s),velocity,displacement,acceleration");
  const rio::cilist io{0, 11, 0, format.c_str(), 0};

  double tanhf = std::tanh((fc * 4.0) * (-tau2));
  svwave[0] = (fc + fc) * (1 - tanhf * tanhf);
  double svs = (1 + tanhf) * 0.5;
  row(io, 0.0, svwave[0], svs, 0.0);
  for (int32_t from = 2; from <= p.nt; from += kChunk) {
    const int32_t to = std::min(p.nt, from + (kChunk - 1));
    for (int32_t i = from; i <= to; ++i) {
      double t = static_cast<double>(i - 1) * dt;
      tanhf = std::tanh((fc * 4.0) * (t - tau2));
      svwave[i - 1] = (fc + fc) * (1 - tanhf * tanhf);
      svs = (1 + tanhf) * 0.5;
      double sva = (svwave[i - 1] - svwave[i - 2]) / dt;
      row(io, t, svwave[i - 1], svs, sva);
    }
    shown.show("Ramp_Slip.csv", to, p.nt);
  }
  close_unit(11);
}

// Transforms the velocity samples and writes Ramp_Amp.csv.
void spectrum(const params& p, work& w, const std::string& format, ramp::progress& shown) {
  complex* svamp = w.svamp.data();
  for (int32_t i = 1; i <= p.nt; ++i) svamp[i - 1] = complex{w.svwave[i - 1], 0.0};
  for (int32_t i = p.nt + 1; i <= p.nfast; ++i) svamp[i - 1] = complex{0.0, 0.0};
  shown.show("transform", 0, 0);
  spectral::dwvfast(p.nfast, svamp, w.MOM, -1);

  open_unit(12, "Ramp_Amp.csv");
  say(12, "freq(Hz),abs(vel),abs(acc)");
  const rio::cilist io{0, 12, 0, format.c_str(), 0};
  const double dt = p.dt;
  for (int32_t from = 2; from <= p.nom; from += kChunk) {
    const int32_t to = std::min(p.nom, from + (kChunk - 1));
    for (int32_t k = from; k <= to; ++k) {
      double om = static_cast<double>(k - 1) * p.dom;
      double freq = om / (pai + pai);
      // The conjugate times (dt, 0), as a full complex product.
      complex c{svamp[k - 1].r, -svamp[k - 1].i};
      svamp[k - 1] = complex{c.r * dt - c.i * 0.0, c.r * 0.0 + c.i * dt};
      row(io, freq, spectral::z_abs(&svamp[k - 1]), spectral::z_abs(&svamp[k - 1]) * om);
    }
    shown.show("Ramp_Amp.csv", to, p.nom);
  }
  close_unit(12);
}

// Ends a command line that cannot run: the fault and the way to help on
// standard error, status 2, nothing written.
[[noreturn]] void usage_error(const std::string& what) {
  rio::line(0, "Ramp-SlipV: " + what);
  rio::line(0, "Try 'Ramp-SlipV --help'.");
  std::exit(2);
}

// Reads the command line; ends the run for help, the version or bad usage.
ramp::options command_line() {
  std::span<const char* const> args(rio::f__xargv, static_cast<size_t>(rio::f__xargc));
  ramp::command c =
      ramp::parse_options(args.subspan(std::min<size_t>(1, args.size())), rio::kWindows);
  if (c.what == ramp::action::usage_error) usage_error(c.error);
  if (c.what == ramp::action::help) {
    for (const char* const* l = ramp::kUsage; *l != nullptr; ++l) (**l ? rio::line(6, *l) : say(6));
    rio::s_stop("", 0);
  }
  if (c.what == ramp::action::version) {
    rio::line(6, ramp::kVersion);
    rio::s_stop("", 0);
  }
  return c.opts;
}

// The work arrays for nt samples, or the end of the run with a report when
// there is no room for them; nothing has been written yet.
work make_work(int32_t nt) {
  work w;
  w.MOM = std::max(kMinMOM, nt + 1);
  try {
    w.svwave.resize(static_cast<size_t>(w.MOM));
    w.svamp.resize(static_cast<size_t>(w.MOM));
  } catch (const std::bad_alloc&) {
    rio::line(0, "Ramp-SlipV: not enough memory for " + std::to_string(nt) + " samples");
    std::exit(1);
  }
  return w;
}

// Makes the folder of the files the current one.
void enter(const std::string& dir) {
  std::error_code ec;
  if (!dir.empty()) std::filesystem::current_path(std::filesystem::path(dir), ec);
  if (ec) usage_error("cannot enter the folder '" + dir + "': " + ec.message());
}

}  // namespace

void MAIN__() {
  const ramp::options o = command_line();
  work w = make_work(o.nt);
  enter(o.directory);
  for (const std::string& warning : ramp::warnings(o)) rio::line(0, "Ramp-SlipV: " + warning);
  ramp::progress shown(rio::status_shown());

  params p{};
  p.dt = o.dt;
  p.nt = o.nt;
  p.tau = o.tau;
  p.fc = 1 / p.tau;
  p.tau2 = o.centre;

  say(6);
  say(6, "Slip Velocity Function using Smooth Ramp Distribution");
  say(6);
  say(6, " dt,nt=", p.dt, p.nt);
  say(6, " fc (Hz) and Tau(s)=", p.fc, p.tau);
  say(6);
  say(6, " Slip functions are stored in Ramp_Slip.csv");
  say(6, " Fourier spectrum is stored in Ramp_Amp.csv");

  const int32_t nt = p.nt;
  slip_series(p, w, ramp::slip_format(p.dt, nt, p.fc), shown);

  p.dur = static_cast<double>(nt) * p.dt;
  p.dom = (pai + pai) / p.dur;
  p.nom = nt / 2;
  p.eom = static_cast<double>(p.nom) * p.dom;

  say(6);
  say(6, " DUR,DOM,NOM,EOM=", p.dur, p.dom, p.nom, p.eom);
  say(6, " Highest Frequency (hz)=", p.eom / 6.283185307);

  p.nfast = nt;
  if (p.nfast > w.MOM - 1) {
    // The transform would not fit the arrays, and nothing may be stored past
    // them: warn, leave the spectrum out and go on to the prompt.
    say(6, "from Ramp: nfast > MOM !", p.nfast, w.MOM);
  } else {
    spectrum(p, w, ramp::amp_format(p.dom, p.nom), shown);
  }
  shown.clear();

  if (o.wait) {
    say(6);
    say(6, "Hit any key to stop");
    rio::cilist in{0, 5, 0, nullptr, 0};
    rio::s_rsle(&in);
    rio::e_rsle();
  }
  rio::s_stop("", 0);
}
