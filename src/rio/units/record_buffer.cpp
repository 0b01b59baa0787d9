// The record buffer: growing it, and handing a record to its unit.
#include <cstdlib>
#include <cstring>

#include "internal.h"

namespace rio {

// Grows the record buffer to more than n characters, keeping its first c.
void f__bufadj(int32_t n, int32_t c) {
  io_guard g;
  // A record stays below 2^30 characters so that the capacity cannot overflow.
  if (n >= (1 << 30)) f__fatal(110, "record too long");
  int32_t len = f__buf == f__buf0 ? 1024 : f__buflen;
  while (len <= n) len <<= 1;
  char* nbuf = static_cast<char*>(malloc(static_cast<size_t>(len)));
  if (nbuf == nullptr) f__fatal(113, "malloc failure");
  memcpy(nbuf, f__buf, static_cast<size_t>(c));
  if (f__buf != f__buf0) free(f__buf);
  f__buf = nbuf;
  f__buflen = len;
}

// Hands the current record and the character c (none when 0) to the current
// unit whole. A record holding NUL characters is written whole. f__recpos is
// left for the caller to reset.
int32_t f__putbuf(int c) {
  if (f__hiwater > f__recpos) f__recpos = f__hiwater;
  int32_t n = f__recpos;
  if (n + 1 >= f__buflen) f__bufadj(n + 1, n);
  if (c != 0) f__buf[n++] = static_cast<char>(c);
  f__buf[n] = 0;
  return f__putrec(n);
}

// Hands the first n characters of the record buffer to the current unit, as
// one whole record. A write that fails ends the run. Signals are held off
// where the unit calls the system, not while the record is only copied; one
// noted meanwhile (by a handler on another thread) is acted on once the
// record is whole.
int32_t f__putrec(int32_t n) {
  if (int e = unitbuf_put(f__curunit, f__buf, static_cast<uint32_t>(n))) {
    io_guard g;
    f__wrerr(e, "write");
  }
  if (f__sigpend != 0 && f__busy == 0) f__sigact();
  return 0;
}

// Ends the current record: in the middle of a statement (a list-directed
// record that is full), at a format's reversion and at a statement's end.
int x_wSL() {
  f__putbuf('\n');
  f__recpos = f__cursor = f__hiwater = 0;
  return 1;
}

// Reports a failed write on the current unit with the system's text, and the
// failed cut after it, if any; or a failed cut alone. A signal that
// interrupted the write is acted on instead (the funnel's rule).
void f__wrerr(int e, const char* s) {
  f__ioerr(0, e, s);
  abort();  // not reached: the report ends the run
}

int32_t f__ioerr(int32_t flag, int e, const char* s) {
  if (e == kCutFailed) return f__error(flag, 111, "endfile");
  return f__error(flag, e & ~kUncut, s, (e & kUncut) != 0 ? origin::uncut : origin::system);
}

int32_t f__flush(unitrec* x, const char* s) {
  io_guard g;
  if (x->stream == nullptr) return 0;
  if (int e = unitbuf_flush(x)) {
    f__curunit = x;
    f__wrerr(e, s);
  }
  return 0;
}

}  // namespace rio
