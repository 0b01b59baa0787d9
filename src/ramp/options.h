// The program's command line: its options, their defaults and their checks,
// and the warnings of a parameter set that is valid but unwise.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ramp {

// The limits of what the options accept. Times stay within these so that
// every value of both files is finite and every E field keeps a two-digit
// exponent.
constexpr double kMinSeconds = 1e-9, kMaxSeconds = 1e9;
constexpr int32_t kMaxSamples = 1 << 24;

// The run's parameters as the command line sets them.
struct options {
  double tau = 3.8;       // rise time, s
  double dt = 0.01;       // time step, s
  int32_t nt = 8192;      // number of samples
  double centre = 0;      // centre of the ramp, s; 0: half the rise time
  std::string directory;  // where the files go; empty: the current folder
  bool wait = true;       // the closing prompt and its wait
};

enum class action { run, help, version, usage_error };

struct command {
  action what = action::run;
  options opts;
  std::string error;  // for usage_error: the one line that names the fault
};

// Reads the arguments after the program's name. On Windows "/?" asks for
// help too.
command parse_options(std::span<const char* const> args, bool windows);

// The lines of --help, and the line of --version.
extern const char* const kUsage[];
extern const char* const kVersion;

// One line each for a parameter set that runs but shows little: a series
// that ends before the ramp has settled, a ramp sampled too coarsely.
std::vector<std::string> warnings(const options& o);

}  // namespace ramp
