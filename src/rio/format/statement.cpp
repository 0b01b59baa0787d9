// The formatted write statement: its start and end, the record ends and the
// dispatch to the field writers.
#include <cerrno>

#include "format/fmt.h"

namespace rio {

const char f__no_format[1] = "";
again_key f__again{f__no_format, 0};

// Checks the unit of a formatted statement and makes it current.
int32_t c_sfe(const cilist* a) {
  if (static_cast<uint32_t>(a->unit) >= MXUNIT) return f__error(a->err, 101, "startio");
  f__curunit = &f__units[a->unit];
  if (f__curunit->stream == nullptr && fk_open(FK_SEQUENTIAL, FK_FORMATTED, a->unit) != 0)
    return f__error(a->err, 114, "sfe");
  if (!f__curunit->formatted) return f__error(a->err, 102, "sfe");
  return 0;
}

namespace {

[[noreturn]] void unexpected(const char* where, int32_t op) {
  io_guard g;
  fprintf(stderr, "%s, unexpected code: %d\n", where, op);
  sig_die(f__fmtbuf, 1);
}

}  // namespace

// Carries out one data operation on the value at ptr.
int w_ed(const syl* p, const char* ptr, int32_t len) {
  switch (p->op) {
    case F_FIELD:
      return wrt_F(ptr, p->p1, p->p2.i[0], len);
    case E_FIELD:
      return wrt_E(ptr, p->p1, p->p2.i[0], p->p2.i[1], len);
    default:
      unexpected("w_ed", p->op);
  }
}

// Carries out one non-data operation.
int w_ned(const syl* p) {
  switch (p->op) {
    case QUOTED_TEXT:
      return wrt_AP(p->p2.s);
    default:
      unexpected("w_ned", p->op);
  }
}

// Ends the record at the statement's end.
int xw_end() {
  if (f__nonl) {
    f__putbuf(0);
    f__flush(f__curunit, "write");
    f__recpos = f__cursor = f__hiwater = 0;
  } else {
    x_wSL();
  }
  return 0;
}

// Ends the record at a format reversion.
int xw_rev() {
  x_wSL();
  f__workdone = 0;
  return 0;
}

namespace {

// The state that a formatted write sets first, before its unit is checked.
[[gnu::always_inline]] inline void begin_state() {
  f__init = kInitialised | kInStatement;
  f__reading = 0;
  f__sequential = 1;
  f__formatted = 1;
  f__external = 1;
}

// The rest of the state of a formatted write on unit u, which runs the
// format last parsed: by its plan, which calls the writers itself, or by the
// general interpreter and the routines in its slots.
[[gnu::always_inline]] inline void begin_write(const cilist* a, unitrec* u) {
  f__curunit = u;
  f__elist = a;
  f__hiwater = f__cursor = f__recpos = 0;
  f__nonl = 0;
  f__scale = 0;
  f__fmtbuf = a->format;
  f__cf = u->stream;
  f__doend = xw_end;
  forget_again();
  if (fmt_bg()) {
    // A repeat compares its text in place.
    if (a->format == f__kept.at) f__again = {a->format, a->unit};
  } else {
    f__doed = w_ed;
    f__doned = w_ned;
    f__dorevert = xw_rev;
  }
  f__cplus = 0;
  f__cblank = u->blankzero;
}

// s_wsfe in full: connects the unit if need be, parses the format and turns
// the unit to writing, each with its error. A statement that fails to start
// runs no plan.
[[gnu::noinline]] int32_t start_fully(const cilist* a) {
  if (f__init != kInitialised) f_init();
  begin_state();
  forget_again();
  f__step = &f__plan[kNoPlan];
  if (int32_t n = c_sfe(a)) return n;
  f__elist = a;  // the parser reports against the statement and its format
  f__fmtbuf = a->format;
  if (f__fmtbuf == nullptr || (!fmt_unchanged(f__fmtbuf) && pars_f(f__fmtbuf) < 0))
    return f__error(a->err, 100, "startio");
  begin_write(a, f__curunit);
  if (f__curunit->written != 1 && f__nowwriting(f__curunit)) {
    f__step = &f__plan[kNoPlan];
    forget_again();
    return f__error(a->err, errno, "write start");
  }
  return 0;
}

// A repeat of the last statement started on a plan (f__again, whose format
// is at the kept text's place), with no statement in progress: its format
// text, compared as text, is still the one parsed, so the plan stands, and
// the state its start set stands but for the statement's own, since nothing
// else has run (f__fmtlen too: whatever sets it forgets the repeat). True
// when it started.
[[gnu::always_inline]] inline bool start_again(const cilist* a) {
  if (a->format != f__again.format || a->unit != f__again.unit || f__init != kInitialised ||
      f__fmtref || !fmt_same_here(a->format))
    return false;
  f__init = kInitialised | kInStatement;
  f__elist = a;
  f__fmtbuf = a->format;
  f__step = &f__plan[0];
  return true;
}

// The start of a statement that repeats none: on a unit that is connected
// for formatted writing and with the format of the last statement, it sets
// the state and no more; any other start runs in full.
[[gnu::noinline]] int32_t start_common(const cilist* a) {
  if (f__init != kInitialised || a->format == nullptr || !fmt_unchanged(a->format))
    return start_fully(a);
  const auto unit = static_cast<uint32_t>(a->unit);
  unitrec* u = &f__units[unit < MXUNIT ? unit : 0];
  if (unit >= MXUNIT || u->stream == nullptr || !u->formatted || u->written != 1)
    return start_fully(a);
  begin_state();
  begin_write(a, u);
  return 0;
}

}  // namespace

// Starts a formatted write on the unit of a: parses its format, unless it is
// the text that the last parse read. A repeat of the last statement starts
// in a few instructions, without a call.
int32_t s_wsfe(const cilist* a) {
  if (start_again(a)) return 0;
  return start_common(a);
}

// Ends a formatted write: the format runs to its end and the record is
// written.
int32_t e_wsfe() {
  f__init = kInitialised;
  int32_t n = en_fio();
  f__fmtbuf = nullptr;
  return n;
}

}  // namespace rio
