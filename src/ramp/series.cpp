// The slip time series and the amplitude spectrum, each written through the
// record I/O run-time a row at a time.
#include "series.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "rio.h"
#include "statements.h"

namespace ramp {

namespace {

using rio::close_unit;
using rio::open_unit;
using rio::row;
using rio::say;
using spectral::complex;
using spectral::pai;

// Rows written between two looks at the clock for the progress line.
constexpr int32_t kChunk = 1 << 16;

}  // namespace

params series_params(const options& o) {
  params p{};
  p.dt = o.dt;
  p.nt = o.nt;
  p.tau = o.tau;
  p.fc = 1 / p.tau;
  p.tau2 = o.centre;
  return p;
}

void spectrum_params(params& p) {
  p.dur = static_cast<double>(p.nt) * p.dt;
  p.dom = (pai + pai) / p.dur;
  p.nom = p.nt / 2;
  p.eom = static_cast<double>(p.nom) * p.dom;
  p.nfast = p.nt;
}

work make_work(int32_t nt) {
  work w;
  w.MOM = std::max(kMinMOM, nt + 1);
  const auto n = static_cast<size_t>(w.MOM);
  w.svwave.reset(static_cast<double*>(std::calloc(n, sizeof(double))));
  w.svamp.reset(static_cast<spectral::complex*>(std::calloc(n, sizeof(spectral::complex))));
  if (!w.svwave || !w.svamp) throw std::bad_alloc();
  return w;
}

void slip_series(const params& p, work& w, const std::string& format, progress& shown) {
  const double dt = p.dt, fc = p.fc, tau2 = p.tau2;
  double* svwave = w.svwave.get();
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

void spectrum(const params& p, work& w, const std::string& format, progress& shown) {
  complex* svamp = w.svamp.get();
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

}  // namespace ramp
