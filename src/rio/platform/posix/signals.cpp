// Signals on POSIX systems: the handlers run on the thread they interrupt.
#include <unistd.h>

#include <csignal>

#include "platform/posix/posix.h"
#include "platform/sys.h"

namespace rio::sys {

namespace {

handler handlers[NSIG];

void dispatch(int signo, siginfo_t* info, void*) {
  // Raised by the process itself: a processor fault (si_code > 0) or a
  // signal it sent itself, such as its own abort.
  bool own = info != nullptr && (info->si_code > 0 || info->si_pid == getpid());
  bool fault = signo == SIGFPE || signo == SIGABRT || signo == SIGSEGV || signo == SIGBUS;
  handlers[signo](signo, own && fault ? urgency::now : urgency::when_idle);
  wake_waits();
}

}  // namespace

void on_signal(int signo, handler h, bool keep_ignored) {
  open_wake_pipe();
  handlers[signo] = h;
  struct sigaction sa {};
  sa.sa_sigaction = dispatch;
  sa.sa_flags = SA_SIGINFO;  // no SA_RESTART: a waiting read must return
  sigemptyset(&sa.sa_mask);
  for (int s : kFatal) sigaddset(&sa.sa_mask, s);
  struct sigaction old {};
  sigaction(signo, &sa, &old);
  if (keep_ignored && old.sa_handler == SIG_IGN) sigaction(signo, &old, nullptr);
}

void ignore_write_signals() {
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
}

void hold_end_signals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigprocmask(SIG_BLOCK, &set, nullptr);
}

void let_signals_in() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : kFatal) sigaddset(&set, s);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

// Handlers run on the thread they interrupt: nothing to hand over.
void end_begins() {}
void files_closed() {}
bool console_event(unsigned long) { return false; }

}  // namespace rio::sys
