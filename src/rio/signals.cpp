// Fatal signals: the four handlers and when they act.
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "internal.h"

namespace rio {

volatile sig_atomic_t f__waiting, f__exiting;

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

// Writes the signal's text and aborts at once, for a signal that cannot wait
// while the run is already ending.
[[noreturn]] void die_now(const sigrule& r) {
  const char nl = '\n';
  ssize_t ignored = write(2, r.text, strlen(r.text));
  ignored = write(2, &nl, 1);
  (void)ignored;
  signal(SIGABRT, SIG_DFL);
  abort();
}

// What the four handlers share. A handler acts at once only where the
// interrupted code holds no stream or heap state: between run-time calls, or
// inside the wait for input. Otherwise it notes the signal, and the end of
// the run-time call in progress acts on it.
void sigdie(int signo, const siginfo_t* info) {
  const sigrule& r = rule(signo);
  // A floating-point fault raised by the processor, or our own abort, cannot
  // be put off: the handler would return into it. (An interrupt from the
  // terminal comes from the kernel too, but it can wait.)
  bool now = r.kill && info != nullptr && (info->si_code > 0 || info->si_pid == getpid());
  if (f__dying) {
    if (now) die_now(r);
    return;
  }
  if (f__busy == 0 || f__waiting || now) {
    f__sigpend = 0;
    sig_die(r.text, r.kill);
  }
  if (f__sigpend == 0) f__sigpend = signo;
}

// The handlers of the floating-point exception, the abort, the interrupt and
// the termination request.
void sigfdie(int signo, siginfo_t* info, void*) { sigdie(signo, info); }
void sigidie(int signo, siginfo_t* info, void*) { sigdie(signo, info); }
void sigindie(int signo, siginfo_t* info, void*) { sigdie(signo, info); }
void sigtdie(int signo, siginfo_t* info, void*) { sigdie(signo, info); }

void install(int signo, void (*handler)(int, siginfo_t*, void*)) {
  struct sigaction sa {};
  sa.sa_sigaction = handler;
  sa.sa_flags = SA_SIGINFO;  // no SA_RESTART: a waiting read must return
  sigemptyset(&sa.sa_mask);
  for (const sigrule& r : kRules) sigaddset(&sa.sa_mask, r.signo);
  struct sigaction old {};
  sigaction(signo, &sa, &old);
  // A run started with interrupts ignored keeps ignoring them.
  if (signo == SIGINT && old.sa_handler == SIG_IGN) sigaction(SIGINT, &old, nullptr);
}

}  // namespace

// Installs the fatal-signal handlers.
void f_setsig() {
  install(SIGFPE, sigfdie);
  install(SIGABRT, sigidie);
  install(SIGINT, sigindie);
  install(SIGTERM, sigtdie);
}

// Acts on the signal that arrived during a run-time call.
void f__sigact() {
  int signo = f__sigpend;
  f__sigpend = 0;
  if (signo == 0 || f__dying) return;
  const sigrule& r = rule(signo);
  sig_die(r.text, r.kill);
}

}  // namespace rio
