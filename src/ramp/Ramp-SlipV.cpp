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
#include <cstdlib>
#include <cstring>
#include <new>
#include <span>
#include <string>

#include "layout.h"
#include "options.h"
#include "platform/sys.h"
#include "rio.h"
#include "series.h"
#include "spectral.h"
#include "statements.h"

namespace {

using rio::say;

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
ramp::work arrays(int32_t nt) {
  try {
    return ramp::make_work(nt);
  } catch (const std::bad_alloc&) {
    rio::line(0, "Ramp-SlipV: not enough memory for " + std::to_string(nt) + " samples");
    std::exit(1);
  }
}

// Makes the folder of the files the current one.
void enter(const std::string& dir) {
  if (dir.empty()) return;
  if (int e = rio::sys::enter(dir.c_str())) {
    usage_error("cannot enter the folder '" + dir + "': " + std::strerror(e));
  }
}

}  // namespace

void MAIN__() {
  // The program's own work on the heap (the command line, the arrays, the
  // warnings, the row formats) holds fatal signals off; its loops and the
  // transform do not, so that a signal ends them at once.
  rio::hold_signals(true);
  const ramp::options o = command_line();
  ramp::work w = arrays(o.nt);
  enter(o.directory);
  for (const std::string& warning : ramp::warnings(o)) rio::line(0, "Ramp-SlipV: " + warning);
  ramp::progress shown(rio::status_shown());

  ramp::params p = ramp::series_params(o);
  const std::string slip_format = ramp::slip_format(p.dt, p.nt, p.fc, p.tau2);
  std::string amp_format;
  rio::hold_signals(false);

  say(6);
  say(6, "Slip Velocity Function using Smooth Ramp Distribution");
  say(6);
  say(6, " dt,nt=", p.dt, p.nt);
  say(6, " fc (Hz) and Tau(s)=", p.fc, p.tau);
  say(6);
  say(6, " Slip functions are stored in Ramp_Slip.csv");
  say(6, " Fourier spectrum is stored in Ramp_Amp.csv");

  // The two files are one run's: no other run changes either of them from
  // before the first is written until the second is closed.
  rio::hold_files(true);
  ramp::slip_series(p, w, slip_format, shown);

  ramp::spectrum_params(p);

  say(6);
  say(6, " DUR,DOM,NOM,EOM=", p.dur, p.dom, p.nom, p.eom);
  say(6, " Highest Frequency (hz)=", p.eom / 6.283185307);

  if (p.nfast > w.MOM - 1) {
    // The transform would not fit the arrays, and nothing may be stored past
    // them: warn, leave the spectrum out and go on to the prompt.
    say(6, "from Ramp: nfast > MOM !", p.nfast, w.MOM);
  } else {
    rio::hold_signals(true);
    amp_format = ramp::amp_format(p.dom, p.nom);
    rio::hold_signals(false);
    ramp::spectrum(p, w, amp_format, shown);
  }
  rio::hold_files(false);
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
