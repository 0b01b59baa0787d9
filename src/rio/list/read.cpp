// List-directed input: the read that consumes one line.
#include <cerrno>

#include "internal.h"
#include "list/lio.h"
#include "platform/sys.h"

namespace rio {

namespace {

// Skips the rest of the input line.
int xrd_SL() {
  int ch;
  while ((ch = t_getc()) != '\n' && ch != -1) {
  }
  return 0;
}

}  // namespace

// Reading values is not part of this run-time: an item in a list-directed
// read is refused.
int l_read(const int32_t*, const char*, int32_t, int32_t) {
  io_guard g;  // the error skips the rest of the line
  return err__fl(f__elist->err, 112, "lio read");
}

namespace {
bool signal_noted() { return f__sigpend != 0; }
}  // namespace

// Returns the next character of the current unit, or -1 at the end of input
// or when a signal ends the wait for it. A signal is never acted on inside
// the stream library's read, which may hold its lock or the heap's: the wait
// comes first, and a signal ends it; the statement's end acts on it. The
// streams read unbuffered, so that input the wait sees is input getc reads.
int t_getc() {
  if (f__curunit->atend) return -1;
  assert_signals_held();
  sys::wait(sys::fd_of(f__cf), false, -1, signal_noted);
  if (f__sigpend != 0) return -1;
  int ch = getc(f__cf);
  if (ch != EOF) return ch;
  sys::settle_input_end(sys::fd_of(f__cf));
  if (f__sigpend != 0) return -1;  // the read was ended by the signal
  if (feof(f__cf)) {
    f__curunit->atend = 1;
    l_eof = 1;
  }
  return -1;
}

// Starts a list-directed read on the unit of a. Console output still
// buffered is flushed first, so that a prompt is seen before the wait.
int32_t s_rsle(const cilist* a) {
  io_guard g;
  f__reading = 1;
  f__external = 1;
  f__formatted = 1;
  if (int32_t n = c_le(a)) return n;
  f__lioproc = l_read;
  f__lquit = f__lcount = l_eof = 0;
  if (f__curunit->written && f__nowreading(f__curunit))
    return f__error(a->err, errno, "read start");
  if (f__curunit->atend) return f__error(a->end, -1, "read start");
  l_getc = t_getc;
  l_ungetc = ungetc;
  f__doend = xrd_SL;
  if (f__cf == stdin) f__flush(&f__units[6], "write");
  return 0;
}

// Ends a list-directed read: consumes the rest of the line, its line feed
// included. Returns -1 at the end of input, without any report.
int32_t e_rsle() {
  io_guard g;
  f__init = kInitialised;
  if (f__curunit->atend) return 0;
  int ch;
  while ((ch = t_getc()) != '\n')
    if (ch == -1) return -1;
  return 0;
}

}  // namespace rio
