// The error funnel, the fatal report and the end on a fatal condition.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "internal.h"
#include "platform/sys.h"

namespace rio {

const char* const F_err[] = {
    "error in format",                         // 100
    "illegal unit number",                     // 101
    "formatted io not allowed",                // 102
    "unformatted io not allowed",              // 103
    "direct io not allowed",                   // 104
    "sequential io not allowed",               // 105
    "can't backspace file",                    // 106
    "null file name",                          // 107
    "can't stat file",                         // 108
    "unit not connected",                      // 109
    "off end of record",                       // 110
    "truncation failed in endfile",            // 111
    "incomprehensible list input",             // 112
    "out of free space",                       // 113
    "unit not connected",                      // 114
    "read unexpected character",               // 115
    "bad logical input field",                 // 116
    "bad variable type",                       // 117
    "bad namelist name",                       // 118
    "variable not in namelist",                // 119
    "no end record",                           // 120
    "variable count incorrect",                // 121
    "subscript for scalar variable",           // 122
    "invalid array section",                   // 123
    "substring out of bounds",                 // 124
    "subscript out of bounds",                 // 125
    "can't read file",                         // 126
    "can't write file",                        // 127
    "'new' file exists",                       // 128
    "can't append to file",                    // 129
    "non-positive record number",              // 130
    "I/O started while already doing I/O",     // 131
    "Temporary file name (TMPDIR?) too long",  // 132
    "file is being written by another run",    // 133
};
static_assert(sizeof F_err / sizeof F_err[0] == MAXERR - 100 + 1, "one text per error number");

// Applies the error rule: returns n (left in errno) when flag is set,
// otherwise reports n, which comes from from, with context s and ends the run.
const char* f__errctx;
origin f__errfrom;

int32_t f__error(int32_t flag, int32_t n, const char* s, origin from) {
  if (flag == 0) f__fatal(n, s, from);
  f__errctx = s;
  f__errfrom = from;
  f__init &= ~kInStatement;
  forget_again();
  errno = n;
  return n;
}

// The error rule for a statement that may have installed a record end.
int32_t err__fl(int32_t flag, int32_t n, const char* s) {
  if (flag != 0 && f__doend != nullptr) (*f__doend)();
  return f__error(flag, n, s);
}

bool f__reported;

// Reports error n, which comes from from, with context s on standard error,
// then the state of the run-time, and ends the run through an abort.
void f__fatal(int32_t n, const char* s, origin from) {
  // A signal noted before goes first: the error may be no more than its
  // interruption of a wait or a write (the funnel's one rule). A signal
  // during the report waits; the report ends the run first.
  io_guard g;
  if (f__sigpend != 0) f__sigact();
  f__dying = 1;  // the report is the run's end: its waits are the end's
  sys::end_begins();
  f__unstatus();
  unitbuf_flush(&f__units[6]);  // the console's lines go before the report
  waiting_on w(2);              // the report may wait for standard error's reader
  if (n == kHeld && f__curunit != nullptr && f__curunit->name != nullptr) {
    // In plain words: which file, and the run that holds it where known.
    fprintf(stderr, "%s: %s is being written by another run", s, f__curunit->name);
    if (f__holder > 0) fprintf(stderr, " (process %ld)", f__holder);
    fputs("\n", stderr);
  } else if (from != origin::runtime || (n >= 0 && n < 100)) {
    fprintf(stderr, "%s: %s\n", s, strerror(n));
    if (from == origin::uncut) fprintf(stderr, "endfile: %s\n", F_err[111 - 100]);
  } else if (n == -1) {
    fprintf(stderr, "%s: end of file\n", s);
  } else if (n >= 100 && n <= MAXERR) {
    fprintf(stderr, "%s: %s\n", s, F_err[n - 100]);
  } else {
    fprintf(stderr, "%s: illegal error number %d\n", s, n);
  }
  if (f__reported) {
    fputs("(f__fatal already called, aborting.)", stderr);
    fflush(stderr);
    unitbuf_flush(&f__units[6]);
    abort();
  }
  f__reported = true;
  if (f__init & kInitialised) {
    if (f__curunit != nullptr) {
      fprintf(stderr, "apparent state: unit %d ", static_cast<int>(f__curunit - f__units));
      if (f__curunit->name != nullptr)
        fprintf(stderr, "named %s\n", f__curunit->name);
      else
        fputs("(unnamed)\n", stderr);
    } else {
      fputs("apparent state: internal I/O\n", stderr);
    }
    if (f__fmtbuf != nullptr) fprintf(stderr, "last format: %.*s\n", f__fmtlen, f__fmtbuf);
    fprintf(stderr, "lately %s %s %s %s", f__reading ? "reading" : "writing",
            f__sequential ? "sequential" : "direct", f__formatted ? "formatted" : "unformatted",
            f__external ? "external" : "internal");
  }
  f__init &= ~kInStatement;
  f__waitfd = -1;
  sig_die(" IO", 1);
}

// Writes s and a line feed to standard error and ends the run: through an
// abort when kill is set, with exit status 1 otherwise. Every written file is
// cut after its last complete record and closed first.
void sig_die(const char* s, int kill) {
  f__dying = 1;
  sys::let_signals_in();  // a second one ends a run whose end is stuck
  sys::end_begins();
  f__unstatus();
  unitbuf_flush(&f__units[6]);  // the console's lines go before the word
  {
    waiting_on w(2);
    fprintf(stderr, "%s\n", s);
    if (kill) fflush(stderr);
  }
  if (kill) {
    f_exit();  // which writes what units still hold, standard output's too
    waiting_on w(2);
    fflush(stderr);
    fflush(stdout);
    // A report's window stays open until it has been read.
    if (f__reported) sys::keep_window();
    signal(SIGABRT, SIG_DFL);
    abort();
  }
  if (f__exiting) {
    // Already inside the end-of-process close: finish it by hand.
    fflush(nullptr);
    _Exit(1);
  }
  exit(1);
}

// The fatal path of an open: the report names the file of the open.
void opn_err(int32_t n, const char* s, const olist* a) {
  if (a->file != nullptr) {
    if (f__buflen < a->filelen + 1) f__bufadj(a->filelen + 1, 0);
    g_char(a->file, a->filelen, f__buf);
    if (f__curunit != nullptr && f__curunit->name == nullptr) f__curunit->name = f__buf;
  }
  f__fatal(n, s);
}

}  // namespace rio
