// The command line: GNU-style options, each checked before anything is
// written, so that a bad one changes nothing.
#include "options.h"

#include <charconv>
#include <cstdio>
#include <string_view>

#include "decimal.h"
#include "platform/sys.h"

#ifndef RAMP_VERSION
#define RAMP_VERSION "0"
#endif

namespace ramp {

const char* const kVersion = "Ramp-SlipV " RAMP_VERSION;

const char* const kUsage[] = {
    "Usage: Ramp-SlipV [OPTION]...",
    "Write the slip, slip velocity and slip acceleration of a smooth ramp (a tanh",
    "step from 0 to 1) to Ramp_Slip.csv, and the amplitude spectra of its velocity",
    "and acceleration to Ramp_Amp.csv; report on the console and wait for a line.",
    "",
    "  -r, --rise-time=SECONDS  rise time of the ramp (default 3.8)",
    "  -d, --dt=SECONDS         time step (default 0.01)",
    "  -n, --samples=N          number of samples: a power of two from 2 to",
    "                           16777216 (default 8192)",
    "  -c, --centre=SECONDS     centre of the ramp (default half the rise time)",
    "  -C, --directory=DIR      write the two files in DIR, an existing folder",
    "      --no-wait            end after the report, without the closing prompt",
    "  -h, --help               show this help and exit",
    "      --version            show the version and exit",
    "",
    "SECONDS is a decimal number from 1e-9 to 1e9. A series that ends before the",
    "ramp has settled, or a time step above a tenth of the rise time, runs with a",
    "warning on standard error.",
    "",
    "Exit status: 0 at the normal end, 1 after an interrupt or a termination",
    "request, 2 for bad usage; a run-time error ends the run with an abort.",
    nullptr,
};

namespace {

enum class kind { flag, seconds, samples, folder };

struct option_def {
  char short_name;  // 0: none
  std::string_view long_name;
  kind k;
  double options::*seconds = nullptr;  // where a number of seconds goes
};

constexpr option_def kOptions[] = {
    {'r', "rise-time", kind::seconds, &options::tau},
    {'d', "dt", kind::seconds, &options::dt},
    {'n', "samples", kind::samples},
    {'c', "centre", kind::seconds, &options::centre},
    {'C', "directory", kind::folder},
    {0, "no-wait", kind::flag},
    {'h', "help", kind::flag},
    {0, "version", kind::flag},
};

// What each kind of value must be, for the error line.
std::string_view accepts(kind k) {
  switch (k) {
    case kind::seconds:
      return "a number of seconds from 1e-9 to 1e9";
    case kind::samples:
      return "a power of two from 2 to 16777216";
    case kind::folder:
      return "an existing folder";
    case kind::flag:
      break;
  }
  return "no value";
}

constexpr const char* kOptionList =
    ": the options are -r, -d, -n, -c, -C, --no-wait, -h and --version";

std::string in_quotes(std::string_view s) { return "'" + std::string(s) + "'"; }

// The option as the user should read it in a message: "--dt" or "-d".
std::string shown(const option_def& s) { return "--" + std::string(s.long_name); }

// The two powers of two around n, for the message.
std::string nearest_powers(int64_t n) {
  int64_t lo = 2;
  while (lo * 2 <= n) lo *= 2;
  return "; the nearest are " + std::to_string(lo) + " and " + std::to_string(lo * 2);
}

// Checks v for option s and stores it in o; an empty text, or the line that
// names the fault.
std::string take(const option_def& s, std::string_view v, options* o) {
  std::string bad = "invalid value " + in_quotes(v) + " for " + shown(s) + ": " +
                    std::string(accepts(s.k)) + " is needed";
  if (s.k == kind::seconds) {
    double x = 0;
    if (!read_decimal(v, &x) || x < kMinSeconds || x > kMaxSeconds) return bad;
    o->*s.seconds = x;
  } else if (s.k == kind::samples) {
    int64_t n = 0;
    const char* end = v.data() + v.size();
    auto r = std::from_chars(v.data(), end, n);
    if (v.empty() || r.ptr != end ||
        (r.ec != std::errc() && r.ec != std::errc::result_out_of_range))
      return bad;
    if (r.ec != std::errc() || n > kMaxSamples) return bad + "; 16777216 is the largest";
    if (n < 2) return bad;
    if ((n & (n - 1)) != 0) return bad + nearest_powers(n);
    o->nt = static_cast<int32_t>(n);
  } else {
    if (v.empty() || !rio::sys::is_folder(std::string(v).c_str())) return bad;
    o->directory = v;
  }
  return {};
}

// Finds a long option by its name or by a prefix of one name alone.
const option_def* find_long(std::string_view name, std::string* error) {
  const option_def* found = nullptr;
  int matches = 0;
  for (const option_def& s : kOptions) {
    if (s.long_name == name) return &s;
    if (s.long_name.substr(0, name.size()) == name) {
      found = &s;
      ++matches;
    }
  }
  if (matches == 1) return found;
  *error = (matches == 0 ? "unknown option " : "ambiguous option ") +
           in_quotes("--" + std::string(name));
  if (matches == 0) {
    *error += kOptionList;
  } else {
    const char* sep = ": ";
    for (const option_def& s : kOptions)
      if (s.long_name.substr(0, name.size()) == name) *error += sep + shown(s), sep = " or ";
  }
  return nullptr;
}

const option_def* find_short(char c) {
  for (const option_def& s : kOptions)
    if (s.short_name != 0 && s.short_name == c) return &s;
  return nullptr;
}

// Acts on option s with its value, if it takes one. Returns false with the
// error set when the command cannot run.
bool apply(const option_def& s, std::string_view value, command* c) {
  if (s.k != kind::flag) {
    if (value.empty()) {
      c->error = "option " + shown(s) + " needs a value: " + std::string(accepts(s.k));
      return false;
    }
    c->error = take(s, value, &c->opts);
    return c->error.empty();
  }
  if (s.long_name == "no-wait") c->opts.wait = false;
  if (s.long_name == "help" && c->what == action::run) c->what = action::help;
  if (s.long_name == "version" && c->what == action::run) c->what = action::version;
  return true;
}

// One argument that starts with "--": the option, with its value after "="
// or in the next argument.
bool long_option(std::string_view arg, std::span<const char* const> args, size_t* i, command* c) {
  std::string_view body = arg.substr(2);
  size_t eq = body.find('=');
  const option_def* s = find_long(body.substr(0, eq), &c->error);
  if (s == nullptr) return false;
  if (s->k == kind::flag) {
    if (eq != std::string_view::npos) {
      c->error = "option " + shown(*s) + " takes no value";
      return false;
    }
    return apply(*s, {}, c);
  }
  if (eq != std::string_view::npos) return apply(*s, body.substr(eq + 1), c);
  std::string_view next = *i + 1 < args.size() ? args[++*i] : "";
  return apply(*s, next, c);
}

// One argument of short options: "-h", "-r2.5", "-r 2.5", or several flags
// in one ("-h" followed by others).
bool short_options(std::string_view arg, std::span<const char* const> args, size_t* i, command* c) {
  for (size_t k = 1; k < arg.size(); ++k) {
    const option_def* s = find_short(arg[k]);
    if (s == nullptr) {
      c->error = "unknown option " + in_quotes(std::string("-") + arg[k]) + kOptionList;
      return false;
    }
    if (s->k == kind::flag) {
      if (!apply(*s, {}, c)) return false;
      continue;
    }
    std::string_view rest = arg.substr(k + 1);
    if (rest.empty()) rest = *i + 1 < args.size() ? args[++*i] : "";
    return apply(*s, rest, c);
  }
  return true;
}

}  // namespace

command parse_options(std::span<const char* const> args, bool windows) {
  command c;
  bool options_end = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    bool ok = true;
    if (!options_end && arg == "--") {
      options_end = true;
    } else if (!options_end && windows && arg == "/?") {
      if (c.what == action::run) c.what = action::help;
    } else if (!options_end && arg.size() > 2 && arg.substr(0, 2) == "--") {
      ok = long_option(arg, args, &i, &c);
    } else if (!options_end && arg.size() > 1 && arg[0] == '-') {
      ok = short_options(arg, args, &i, &c);
    } else {
      c.error = "unexpected argument " + in_quotes(arg) + ": the program takes options only";
      ok = false;
    }
    if (!ok) {
      c.what = action::usage_error;
      return c;
    }
  }
  if (c.opts.centre == 0) c.opts.centre = c.opts.tau / 2.0;
  return c;
}

std::vector<std::string> warnings(const options& o) {
  std::vector<std::string> w;
  char line[200];
  // The slip is within 0.0004 of 1, and the velocity below 0.2 % of its
  // peak, one rise time after the centre.
  double end = static_cast<double>(o.nt - 1) * o.dt, settled = o.centre + o.tau;
  if (end < settled) {
    std::snprintf(line, sizeof line,
                  "warning: the series ends at %g s, before the ramp has settled at %g s "
                  "(centre plus rise time)",
                  end, settled);
    w.emplace_back(line);
  }
  if (o.dt > o.tau / 10) {
    std::snprintf(line, sizeof line,
                  "warning: a time step of %g s samples the rise time of %g s fewer than "
                  "10 times",
                  o.dt, o.tau);
    w.emplace_back(line);
  }
  return w;
}

}  // namespace ramp
