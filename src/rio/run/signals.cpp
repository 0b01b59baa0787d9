// Fatal signals: the four handlers and when they act.
#include <cstdlib>
#include <cstring>

#include "internal.h"
#include "platform/sys.h"

namespace rio {

namespace {

struct sigrule {
  int signo;
  const char* text;
  int kill;  // 1: end through an abort; 0: exit with status 1
};

const sigrule kRules[] = {
    {SIGFPE, "Floating Exception", 1},
    {SIGABRT, "IOT Trap", 1},
    {SIGINT, "Interrupt", 0},
    {SIGTERM, "Killed", 0},
};

const sigrule& rule(int signo) {
  for (const sigrule& r : kRules)
    if (r.signo == signo) return r;
  return kRules[1];
}

// Writes the signal's text and ends the process at once, as the signal's
// rule says, for a signal that cannot wait while the run is already ending:
// a fault, or a second signal from outside while the first one's end waits
// for a reader that takes nothing (a call that no wait of the run-time ends).
[[noreturn]] void die_now(const sigrule& r) {
  sys::write_error(r.text, strlen(r.text));
  sys::write_error("\n", 1);
  if (r.kill == 0) _Exit(1);
  signal(SIGABRT, SIG_DFL);
  abort();
}

// Ends the run on a fault that the process raised itself inside a run-time
// call (an abort from the C library's heap checks or an assertion, a
// floating-point exception), where the stream library, the heap and the unit
// table may be half changed: only what a handler may do. Each written file is
// cut after the last whole record that the unit counts, with the system's
// own calls; what the units still hold is lost.
[[noreturn]] void die_safely(const sigrule& r) {
  for (unitrec& u : f__units) {
    if (u.stream == nullptr || u.name == nullptr || u.written == 0 || u.out.fresh) continue;
    int fd = sys::fd_of(u.stream);
    int64_t at = u.out.at, length = -1;
    if (at >= 0 && sys::place(fd, &at, &length) == 0 && length > at) sys::cut(fd, at);
  }
  die_now(r);
}

// What the four handlers share. A handler acts at once only where the
// interrupted code holds no stream or heap state: between run-time calls.
// Otherwise it notes the signal, and the end of the run-time call in
// progress acts on it (a wait of the run-time ends at once for it). A fault
// that the process raised itself cannot be put off: the handler would return
// into it. A second signal while the first is being acted on leaves the
// first one's end to go on, its message the only one, while that end makes
// progress; it ends at once an end that waits for a reader (a stalled pipe or
// FIFO, a full terminal or standard error). A fault raised inside a run-time
// call ends the run by die_safely.
void sigdie(int signo, sys::urgency u) {
  const sigrule& r = rule(signo);
  bool now = u == sys::urgency::now;
  if (f__dying || (u == sys::urgency::when_idle && f__sigpend != 0)) {
    // A handler on a thread of its own only notes: the run's end is not
    // stuck in its thread.
    if (now || (u == sys::urgency::when_idle && sys::stalled(f__waitfd))) die_now(r);
    return;
  }
  if (now && f__busy != 0) die_safely(r);
  if (now || (u == sys::urgency::when_idle && f__busy == 0)) {
    f__sigpend = 0;
    sig_die(r.text, r.kill);
  }
  int none = 0;
  f__sigpend.compare_exchange_strong(none, signo);  // the first signal counts
}

// The handlers of the floating-point exception, the abort, the interrupt and
// the termination request.
void sigfdie(int signo, sys::urgency u) { sigdie(signo, u); }
void sigidie(int signo, sys::urgency u) { sigdie(signo, u); }
void sigindie(int signo, sys::urgency u) { sigdie(signo, u); }
void sigtdie(int signo, sys::urgency u) { sigdie(signo, u); }

}  // namespace

// Installs the fatal-signal handlers.
// A run started with interrupts ignored keeps ignoring them.
void f_setsig() {
  sys::on_signal(SIGFPE, sigfdie, false);
  sys::on_signal(SIGABRT, sigidie, false);
  sys::on_signal(SIGINT, sigindie, true);
  sys::on_signal(SIGTERM, sigtdie, false);
}

void hold_signals(bool hold) {
  if (hold) {
    f__busy = f__busy + 1;
    return;
  }
  f__busy = f__busy - 1;
  if (f__busy == 0 && f__sigpend != 0) f__sigact();
}

// Acts on the signal that arrived during a run-time call.
void f__sigact() {
  int signo = f__sigpend.exchange(0);
  if (signo == 0 || f__dying) return;
  const sigrule& r = rule(signo);
  sig_die(r.text, r.kill);
}

}  // namespace rio
