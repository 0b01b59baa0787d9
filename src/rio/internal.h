// Run-time state and internal routines shared by the files of the run-time.
// One thread, one statement at a time: the state is plain global data; only
// the signal flags are shared with handlers that may run on another thread.
#pragma once

#include <atomic>
#include <cassert>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "rio.h"

namespace rio {

constexpr int MXUNIT = 100;

// Each unit's output buffer. Records are gathered in it whole and reach the
// system in one write per buffer (a record longer than the buffer in a write
// of its own), so that a file only ever receives whole records, whatever
// ends the process. Where each record ends is kept, so that a write that the
// system takes only in part is cut after the last whole record. A regular
// file that has had kUnitBufLarge bytes gets a buffer of that size, so that
// a large run hands the system fewer, larger writes.
constexpr uint32_t kUnitBuf = 1u << 16;        // characters
constexpr uint32_t kUnitRecs = 4096;           // records
constexpr uint32_t kUnitBufLarge = 1u << 20;   // characters, once a file is large
constexpr uint32_t kUnitRecsLarge = 1u << 16;  // records, then
struct unitbuf {
  char* data;  // null until the unit's first record
  uint32_t* ends;
  uint32_t len, nrec;
  uint32_t cap, recs;  // the sizes of data and ends
  uint32_t open;       // cap, or 0 while each record must go through unitbuf_put (no
                       // buffer yet, or eager): unitbuf_quick's limit
  bool eager;          // each record goes at once: a terminal, standard error
  bool fresh;          // the next write is the first since the unit turned to writing
  bool pieces;         // a pipe, a FIFO or a terminal, whose writes may wait: whole records at a
                       // time, in pieces that a pipe takes whole or not at all
  int64_t at;          // where the file stands, in bytes, counted by the unit; -1: unknown, or
                       // not a regular file
};

// One entry of the unit table.
struct unitrec {
  FILE* stream;  // null: not connected
  char* name;    // the file name: a heap copy that the unit owns from open to close; null
                 // for the standard streams (a failed open's report may point it at
                 // the record buffer, as the run then ends)
  int32_t recl;
  int32_t seekable;
  int32_t formatted;
  int32_t rwmode;  // bit 0 reading, bit 1 writing; 0 for the standard streams
  int32_t blankzero;
  int32_t atend;
  int32_t written;  // the last transfer was a write
  int32_t scratch;
  unitbuf out;       // its output buffer
  bool holds;        // its file is held against other runs, through hold_id
  intptr_t hold_id;  // (units/hold.cpp)
};

// One operation of a parsed format.
struct syl {
  int32_t op;
  int32_t p1;
  union {
    int32_t i[2];
    const char* s;  // a literal: its opening delimiter in the format text
  } p2;
};

extern unitrec f__units[MXUNIT];
// The two bits of f__init: the standard units are connected; a data-transfer
// statement is in progress (so a second one is refused).
constexpr int32_t kInitialised = 1, kInStatement = 2;
extern int32_t f__init;
extern unitrec* f__curunit;
extern FILE* f__cf;
extern int32_t f__external, f__reading, f__sequential, f__formatted;
extern const char* f__fmtbuf;
extern int32_t f__fmtlen;
extern const cilist* f__elist;
extern int32_t f__cplus, f__nonl;
// The last formatted write started on its format's plan, which a statement
// with the same format text on the same unit repeats without the checks and
// state of a start (format/statement.cpp): set by that start; any other
// start, an open, a close, a parse and an error forget it. Forgotten, it
// holds a text of its own, which no statement passes, so that no format (a
// null one included) matches it.
struct again_key {
  const char* format;
  int32_t unit;
};
extern again_key f__again;
extern const char f__no_format[1];
inline void forget_again() { f__again.format = f__no_format; }

// The record buffer.
constexpr int32_t kBuf0Len = 400;
extern char f__buf0[kBuf0Len];
extern char* f__buf;
extern int32_t f__buflen;
extern int32_t f__recpos, f__hiwater;

// Routine slots: each statement start fills those that its statement calls
// through.
extern void (*f__putn)(int);
extern int (*f__donewrec)();
extern int (*f__doend)();
extern int (*f__lioproc)(const int32_t*, const char*, int32_t, int32_t);
extern int (*f__doed)(const syl*, const char*, int32_t);
extern int (*f__doned)(const syl*);
extern int (*f__dorevert)();

// State that the run-time sets and nothing in it reads: the statements set
// it as they always have, so that a program or a debugger that looks at it
// finds what it expects, and so that the descriptors that would read it (a
// scale factor, blank mode, positioning) and the argument queries can come
// without changing the starts. The list-directed ones are in lio.h.
extern int32_t f__scale;   // scale factor: 0 at every formatted start
extern int32_t f__cblank;  // the unit's blank mode, copied at a formatted start
extern int32_t f__cursor;  // pending move of the record position: always 0

// Stream modes, indexed by `formatted`, plus 2 for reading and writing.
extern const char* const f__r_mode[2];
extern const char* const f__w_mode[4];

// Start-up, units and files.
void f_init();
void f_setarg(int argc, char** argv);
void f_setsig();
int32_t f__canseek(FILE* f);
// The kinds of access and form that fk_open takes: the statements' starts
// connect a unit for sequential, formatted transfer.
enum : int32_t { FK_SEQUENTIAL = 3, FK_DIRECT = 4, FK_FORMATTED = 5 };
int32_t fk_open(int32_t seq, int32_t fmt, int32_t unit);
int32_t f__nowwriting(unitrec* x);
int32_t f__nowreading(unitrec* x);
int32_t t_runc(const cllist* a);
void g_char(const char* a, int32_t alen, char* b);
// Holds the file of unit x, a named unit about to change it, against other
// runs (units/hold.cpp): 0, or kHeld when another run holds it, with that
// run's process id in f__holder (0 where the system does not tell). A unit
// already holding, a special file and a file system that refuses holds give 0.
int32_t f__hold(unitrec* x);
// Ends the hold of unit x, once its stream is closed or about to be
// reopened; at a close (at_close), between hold_files(true) and
// hold_files(false) the hold is kept until the latter.
void f__unhold(unitrec* x, bool at_close);
extern long f__holder;
// A named file's stream reads without buffering, so that the descriptor's
// offset is always the stream's position and records can be written to the
// descriptor directly; positioned at byte at.
void f__unbuffer(FILE* f, int64_t at);
// Hands what unit x holds buffered to the system; a failure is reported
// against that unit with context s.
int32_t f__flush(unitrec* x, const char* s);

// The unit was connected or turned to writing: eager from its stream (every
// unit, once the end-of-run close has run); with fresh, the first write cuts
// an older, longer file at its position. at: where the file stands, -1 when
// the unit cannot know.
void unitbuf_start(unitrec* x, bool fresh, int64_t at);
// Adds one whole record; 0, the system's error code when a write failed (with
// kUncut added when part of a record stays), or kCutFailed when an older
// file's cut could not be made.
int unitbuf_put(unitrec* x, const char* p, uint32_t n);
// The records that unitbuf_quick takes: at most kQuickRec characters, copied
// as that many from a place that has them all (the record buffer always has).
constexpr uint32_t kQuickRec = 64;
// unitbuf_put for a short record that fits what the buffer has left, inline:
// false, having done nothing, for any other record. The record buffer's
// first kQuickRec characters are copied whatever n is; the unit's buffer has
// room for them, and what lies past the record is overwritten by the next.
inline bool unitbuf_quick(unitbuf& b, const char* p, uint32_t n) {
  static_assert(static_cast<int32_t>(kQuickRec) <= kBuf0Len);
  if (n > kQuickRec || b.len + kQuickRec > b.open || b.nrec >= b.recs) return false;
  memcpy(b.data + b.len, p, kQuickRec);
  // A handler that ends the run meanwhile writes what len counts: the record
  // counts once it is whole.
  std::atomic_signal_fence(std::memory_order_seq_cst);
  b.len += n;
  b.ends[b.nrec++] = b.len;
  return true;
}
// Writes what the unit holds; 0, or an error as unitbuf_put.
int unitbuf_flush(unitrec* x);
constexpr int kCutFailed = -111;
// Added to the system's code of a write that the system took in part, when
// the cut after the last whole record failed: part of a record stays.
constexpr int kUncut = 1 << 16;
// Set by the end-of-run close: a unit connected later writes each record at
// once, as nothing closes it any more.
extern bool f__closed;
// Drops the buffer, at the close.
void unitbuf_free(unitrec* x);

// The record buffer. x_putc stores one character; growing is out of line.
void f__bufadj(int32_t n, int32_t c);
inline void x_putc(int c) {
  if (f__recpos >= f__buflen) f__bufadj(f__recpos, f__buflen);
  f__buf[f__recpos++] = static_cast<char>(c);
}
// For writers that know their length: makes room for n more characters and
// returns where the next one goes; x_done records where the writer stopped.
// Between the two each character is one store.
inline char* x_room(int64_t n) {
  if (f__recpos + n >= f__buflen)
    f__bufadj(static_cast<int32_t>(f__recpos + n < INT32_MAX ? f__recpos + n : INT32_MAX),
              f__recpos);
  return f__buf + f__recpos;
}
inline void x_done(const char* p) { f__recpos = static_cast<int32_t>(p - f__buf); }
int32_t f__putbuf(int c);
int32_t f__putrec(int32_t n);
int x_wSL();

// Errors. f__error is the one funnel: with a non-zero flag it returns n and
// leaves it in errno, otherwise it reports and ends the run. The system's
// error codes and the run-time's own numbers overlap (a system's codes reach
// past 100), so each error says where its number comes from: the report gives
// the system's text for the system's codes, whatever their number.
enum class origin {
  runtime,  // the run-time's own number (100 to 132, or -1 for the end of a file)
  system,   // the system's error code
  uncut,    // the system's code for a write, after which the cut that should have
            // ended the file after its last whole record failed too
};
int32_t f__error(int32_t flag, int32_t n, const char* s, origin from = origin::runtime);
extern const char* f__errctx;  // the context of the last error returned
extern origin f__errfrom;      // and where its number came from
int32_t err__fl(int32_t flag, int32_t n, const char* s);
[[noreturn]] void f__fatal(int32_t n, const char* s, origin from = origin::runtime);
extern bool f__reported;  // a fatal report has begun
// Reports error e of a unit's write (unitbuf_put's) with context s, or a failed
// cut as error 111 with context "endfile".
[[noreturn]] void f__wrerr(int e, const char* s);
// The error rule for e of a unit's write: a failed cut is 111, "endfile".
int32_t f__ioerr(int32_t flag, int e, const char* s);
[[noreturn]] void opn_err(int32_t n, const char* s, const olist* a);
[[noreturn]] void sig_die(const char* s, int kill);
// Erases the status line, if one is shown, before a report or signal text.
void f__unstatus();
// Erases the status line, if one is shown, before records go to fd, when fd is
// a terminal; true when it did, and then f__restatus draws it again after them.
bool f__status_yield(int fd);
void f__restatus();
extern const char* const F_err[];
// A file that another run holds: the report names it and that run.
constexpr int32_t kHeld = 133;
constexpr int32_t MAXERR = 133;

// Signals. A handler acts at once only while no run-time call is in progress
// (f__busy is 0); otherwise it leaves the signal in f__sigpend and the end of
// the outermost call acts on it. A handler that runs on a thread of its own
// only ever leaves the signal there. f__dying is set once the run is ending
// on a fatal condition; later signals are then ignored. The flags are
// lock-free atomics, so that handlers on any thread see them as they are.
using sigflag = std::atomic<int>;
static_assert(sigflag::is_always_lock_free);
extern sigflag f__busy, f__sigpend, f__dying;
// f__exiting: the end-of-process close is running, so exit() may not be called.
extern sigflag f__exiting;
// The descriptor that the main thread is writing to, -1 when none: a second
// signal that finds it unable to take anything ends a run whose end waits for
// a reader there; one that finds the end going on leaves it to end in order.
extern sigflag f__waitfd;
struct waiting_on {
  explicit waiting_on(int fd) : old_(f__waitfd.exchange(fd)) {}
  ~waiting_on() { f__waitfd = old_; }
  waiting_on(const waiting_on&) = delete;
  waiting_on& operator=(const waiting_on&) = delete;

 private:
  int old_;
};
void f__sigact();
// Whether a wait should end: a signal is noted, or the run is ending (its
// end never waits for a reader).
inline bool f__noted() { return f__sigpend != 0 || f__dying != 0; }
struct io_guard {
  io_guard() { f__busy = f__busy + 1; }
  ~io_guard() {
    f__busy = f__busy - 1;
    if (f__busy == 0 && f__sigpend != 0) f__sigact();
  }
  io_guard(const io_guard&) = delete;
  io_guard& operator=(const io_guard&) = delete;
};
// Marks where the run-time enters the stream library or the system for a
// call: a debug build checks that an io_guard holds signals off there (or
// that the run is already ending, when nothing waits any more).
inline void assert_signals_held() { assert(f__busy > 0 || f__dying); }

}  // namespace rio
