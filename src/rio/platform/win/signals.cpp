// Signals on Windows: the console runs its control handler (Ctrl+C, Ctrl+Break, the
// window's close, logoff, shutdown) on a thread of its own. That handler
// only notes the signal (urgency deferred); the main thread acts on it. Until
// the run has begun its end, the handler ends whatever the main thread is
// blocked in (a write to a pipe whose reader stalls, a console read), so that
// the main thread comes to act on the signal; from then on, until the files
// are cut and closed, only a write that waits for a pipe's reader, so that
// the end never waits for one and its text, cut and close are never ended.
// It holds the process until then, as Windows ends it when the handler of a
// close, a logoff or a shutdown returns. The C library's own handlers (raise,
// a processor fault) run on the thread that raised them.
#include <windows.h>

#include <chrono>
#include <csignal>

#include "platform/sys.h"
#include "platform/win/win.h"

namespace rio::sys {

namespace {

// Taken during the start-up of the process, which runs on the main thread.
const DWORD main_thread = GetCurrentThreadId();
const HANDLE main_handle = OpenThread(THREAD_TERMINATE, FALSE, main_thread);
// Set once the files are cut and closed.
const HANDLE closed = CreateEventW(nullptr, TRUE, FALSE, nullptr);

// What the console's handler may end, changed and read under one lock, so
// that a cancel never lands on a call that began after the state changed.
SRWLOCK cancel_lock = SRWLOCK_INIT;
bool end_begun;   // the run has begun its end
bool pipe_waits;  // the main thread is in a write to a pipe

void set_guarded(bool& flag, bool value) {
  AcquireSRWLockExclusive(&cancel_lock);
  flag = value;
  ReleaseSRWLockExclusive(&cancel_lock);
}

}  // namespace

// Set each time a handler on another thread has noted its signal.
extern const HANDLE noted = CreateEventW(nullptr, FALSE, FALSE, nullptr);

void mark_pipe_write(bool on) { set_guarded(pipe_waits, on); }

namespace {

handler handlers[NSIG];
bool ignored[NSIG];  // kept ignored, as the process was started

void __cdecl dispatch(int signo) {
  signal(signo, dispatch);  // the C library put back the default action
  bool other_thread = GetCurrentThreadId() != main_thread;
  bool fault = signo == SIGFPE || signo == SIGABRT || signo == SIGSEGV || signo == SIGILL;
  urgency u = other_thread ? urgency::deferred : fault ? urgency::now : urgency::when_idle;
  handlers[signo](signo, u);
  if (other_thread) SetEvent(noted);
}

// Ends the main thread's blocking call: before the run has begun its end,
// whatever it is; after, only a write that waits for a pipe's reader.
void end_main_call() {
  AcquireSRWLockExclusive(&cancel_lock);
  if (!end_begun || pipe_waits) CancelSynchronousIo(main_handle);
  ReleaseSRWLockExclusive(&cancel_lock);
}

// How long the handler of a close, a logoff or a shutdown holds the process:
// Windows ends it about five seconds after the event, and the handler
// returns before, by the clock, however long each pass of its loop takes
// (a wait of 10 ms lasts a timer tick, 15.6 ms by default).
constexpr std::chrono::milliseconds kHoldAtClose{4500};

// The console's control handler: Ctrl+C is an interrupt, the others a
// termination request. It notes the signal, then ends the main thread's
// blocking calls until the files are cut and closed, or, after a close, a
// logoff or a shutdown, until shortly before Windows ends the process.
BOOL WINAPI console_handler(DWORD type) {
  int signo = type == CTRL_C_EVENT ? SIGINT : SIGTERM;
  if (handlers[signo] == nullptr || ignored[signo]) return FALSE;
  const auto until = std::chrono::steady_clock::now() + kHoldAtClose;
  handlers[signo](signo, urgency::deferred);
  SetEvent(noted);
  while (WaitForSingleObject(closed, 10) == WAIT_TIMEOUT) {
    if (type != CTRL_C_EVENT && std::chrono::steady_clock::now() >= until) break;
    end_main_call();
  }
  return TRUE;
}

}  // namespace

// One signal at a time reaches the handlers on the main thread; a console
// event runs on its own thread and only notes itself, so nothing needs
// holding off. A console read is not restarted after Ctrl+C: it returns.
// The console's handler is put last, so that it runs before the C library's.
void on_signal(int signo, handler h, bool keep_ignored) {
  handlers[signo] = h;
  auto old = signal(signo, dispatch);
  if (keep_ignored && old == SIG_IGN) {
    signal(signo, SIG_IGN);
    ignored[signo] = true;
  }
  if (signo == SIGINT || signo == SIGTERM) {
    SetConsoleCtrlHandler(console_handler, FALSE);
    SetConsoleCtrlHandler(console_handler, TRUE);
  }
}

bool console_event(unsigned long type) { return console_handler(type) != FALSE; }

void let_signals_in() {}

void end_begins() { set_guarded(end_begun, true); }

void files_closed() { SetEvent(closed); }

// Windows has no such signals: a write to a closed pipe or a full disk fails
// with the system's error.
void ignore_write_signals() {}

void hold_end_signals() {
  signal(SIGINT, SIG_IGN);
  signal(SIGTERM, SIG_IGN);
}

}  // namespace rio::sys
