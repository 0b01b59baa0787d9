// Benchmarks of the FFT, the records of the run-time, the magnitude, and
// the two phases of a whole run at sizes from 2^13 to 2^24 samples.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <vector>

#include "internal.h"
#include "layout.h"
#include "rio.h"
#include "series.h"
#include "spectral.h"
#include "statements.h"

namespace {

constexpr int32_t kUnit = 20;

// Connects kUnit to /dev/null once.
void connect() {
  static bool done = rio::open_unit(kUnit, "/dev/null") == 0;
  (void)done;
}

void BM_dwvfast(benchmark::State& state) {
  const int32_t n = static_cast<int32_t>(state.range(0));
  std::vector<spectral::complex> a(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) a[i] = {std::sin(0.1 * i), 0};
  for (auto _ : state) {
    spectral::dwvfast(n, a.data(), n, -1);
    benchmark::DoNotOptimize(a.data());
    benchmark::ClobberMemory();
  }
  // Time per n log2 n: flat when the growth is n log n.
  state.counters["per_nlog2n"] = benchmark::Counter(
      static_cast<double>(n) * std::log2(n),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_dwvfast)->RangeMultiplier(2)->Range(1 << 6, 1 << 20);

// Time per row, shown as "per_row" beside the time per iteration.
void per_row(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations());
  state.counters["per_row"] =
      benchmark::Counter(static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// A formatted data row of Ramp_Slip.csv through the run-time: start, four
// values, end.
void BM_slip_row(benchmark::State& state) {
  connect();
  const rio::cilist io{0, kUnit, 0, "(F8.4,3(\x02,\x02,F15.7))", 0};
  for (auto _ : state) rio::row(io, 1.91, 0.5262575, 0.5052630, -0.0058313);
  per_row(state);
}
BENCHMARK(BM_slip_row);
// A fixed number of rows, for counting instructions per row with callgrind
// (README, Performance).
BENCHMARK(BM_slip_row)->Iterations(100000);

void BM_spectrum_row(benchmark::State& state) {
  connect();
  const rio::cilist io{0, kUnit, 0, "(F8.4,3(\x02,\x02,E12.4))", 0};
  for (auto _ : state) rio::row(io, 0.0122070, 0.98033, 0.075191);
  per_row(state);
}
BENCHMARK(BM_spectrum_row);
BENCHMARK(BM_spectrum_row)->Iterations(100000);

void BM_list_record(benchmark::State& state) {
  connect();
  for (auto _ : state) rio::say(kUnit, " DUR,DOM,NOM,EOM=", 81.92, 0.0766990394, 4096, 314.159265);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_list_record);

void BM_f__cabs(benchmark::State& state) {
  double x = 0.75, y = -1.25;
  for (auto _ : state) {
    benchmark::DoNotOptimize(x);
    benchmark::DoNotOptimize(spectral::f__cabs(x, y));
  }
}
BENCHMARK(BM_f__cabs);

// The slip series and the spectrum of a run of n samples with the default
// rise time and step, both files written in a scratch folder. The cost per
// sample stays flat from 2^13 to 2^24 but for the transform's log2 n.
void BM_run(benchmark::State& state) {
  static const std::filesystem::path dir = [] {
    auto d = std::filesystem::temp_directory_path() / "ramp-bench-run";
    std::filesystem::create_directories(d);
    std::filesystem::current_path(d);
    return d;
  }();
  ramp::options o;
  o.nt = static_cast<int32_t>(state.range(0));
  o.centre = o.tau / 2.0;
  ramp::params p = ramp::series_params(o);
  ramp::spectrum_params(p);
  const std::string slip = ramp::slip_format(p.dt, p.nt, p.fc, p.tau2),
                    amp = ramp::amp_format(p.dom, p.nom);
  ramp::work w = ramp::make_work(p.nt);
  ramp::progress quiet(false);
  for (auto _ : state) {
    ramp::slip_series(p, w, slip, quiet);
    ramp::spectrum(p, w, amp, quiet);
  }
  state.counters["per_sample"] =
      benchmark::Counter(static_cast<double>(p.nt), benchmark::Counter::kIsIterationInvariantRate |
                                                        benchmark::Counter::kInvert);
  std::filesystem::remove(dir / "Ramp_Slip.csv");
  std::filesystem::remove(dir / "Ramp_Amp.csv");
}
BENCHMARK(BM_run)->Arg(1 << 13)->Arg(1 << 17)->Arg(1 << 21)->Arg(1 << 24)->Unit(
    benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
