// The format interpreter: runs the parsed format over the values.
#include <cerrno>

#include "format/short_field.h"

namespace rio {

int32_t f__cnt[kStackMax], f__ret[kStackMax], f__cp, f__rp;
int32_t f__workdone;

// Starts a new statement on the parsed format: true when it follows the
// format's plan; otherwise the general interpreter's position and stacks
// start afresh.
bool fmt_bg() {
  if (f__planlen > 0 && !f__fmtref) {
    f__step = &f__plan[0];
    return true;
  }
  f__step = &f__plan[kNoPlan];
  f__workdone = f__cp = f__rp = f__pc = f__cursor = 0;
  f__cnt[0] = f__ret[0] = 0;
  return false;
}

namespace {

int32_t run_fio(int32_t n, const char* p, int32_t len);

// Whether step s is a short field, with the short literal before it if any.
inline bool short_step(const plan_step& s) {
  return s.kind == STEP_SHORT_F || s.kind == STEP_SHORT_E;
}

// Stores the short literal of step s (none when its len is 0) in one store,
// whose slack past the record's end the next field or nothing overwrites
// (fmt_plan made the room).
inline void put_literal(const plan_step& s) {
  assert(f__recpos + kStepRoom < f__buflen);
  store8(f__buf + f__recpos, s.text);
  f__recpos += s.len;
}

// Carries out short step s on the value at p by the short path: its literal,
// if any, and its field in one stretch of the record (a planned format holds
// no sign descriptor, so no plus sign is asked for). False, the record
// unchanged, when the short path does not apply to the value.
[[gnu::always_inline]] inline bool short_step_fits(const plan_step& s, const char* p, int32_t len) {
  double x;
  bool sign = load_magnitude(p, len, &x);
  char* at = x_room(kStepRoom);
  store8(at, s.text);
  char* e = s.kind == STEP_SHORT_F ? short_F_at(at + s.len, x, sign, s.w, s.d)
                                   : short_E_at(at + s.len, x, sign, s.w, s.d, s.e);
  if (e != nullptr) x_done(e);
  return e != nullptr;
}

// Short step s on the value at p: by the short path, or its literal and then
// the field's writer. Returns the writer's result.
int short_step_write(const plan_step& s, const char* p, int32_t len) {
  if (short_step_fits(s, p, len)) return 0;
  f__recpos += s.len;
  return s.kind == STEP_SHORT_F ? wrt_F(p, s.w, s.d, len) : wrt_E(p, s.w, s.d, s.e, len);
}

// do_fio for a format with a plan: its steps are carried out in order, a
// literal, a reversion or a field each, until each value has had its field.
// It assumes what s_wsfe installs in the slots (w_ed, w_ned, xw_end, xw_rev)
// and calls them directly. A null p is the
// statement's end: the literals up to the next field or reversion, then the
// record end. Out of line: the common step in do_fio stays free of its
// registers.
[[gnu::noinline]] int32_t plan_fio(int32_t n, const char* p, int32_t len) {
  const plan_step* k = f__step;
  int32_t rc = 0;
  for (int32_t i = 0; i < n; k = k->next) {
    const plan_step& s = *k;
    if (short_step(s) && p != nullptr) {
      rc = short_step_write(s, p, len);
    } else if (s.kind == STEP_LITERAL || short_step(s)) {
      put_literal(s);
      if (s.kind == STEP_LITERAL) continue;
    } else if (s.kind == STEP_TEXT) {
      rc = w_ned(&f__syl[s.op]);
      if (rc <= 0) continue;
    } else if (s.kind == STEP_FIELD && p != nullptr) {
      rc = w_ed(&f__syl[s.op], p, len);
    } else if (s.kind == STEP_REVERT && p != nullptr) {
      if ((rc = xw_rev()) != 0) break;
      continue;
    }
    if (rc > 0) {
      rc = err__fl(f__elist->err, errno, "fmt");
      break;
    }
    if (p == nullptr) {  // the next field or the format's end: the record ends
      rc = xw_end();
      break;
    }
    ++i;
    p += len;
  }
  f__step = k;
  return rc;
}

// One value on a plan, by the step's short path or its full step; with no
// plan, by the general interpreter.
[[gnu::noinline]] int32_t plan_step_value(const char* p, int32_t len) {
  const plan_step& s = *f__step;
  if (s.kind == STEP_NONE) return run_fio(1, p, len);
  if (short_step(s) && short_step_fits(s, p, len)) {
    f__step = s.next;
    return 0;
  }
  return plan_fio(1, p, len);
}

// The quick path of a short step: the short path without its exact
// arithmetic, in functions that make no call but a last jump, so that none
// saves registers. A value that it does not settle (its scaled value next to
// a half, an exponent that two estimates do not settle, a field that it does
// not fit) goes on to the step's short path, plan_step_value, having changed
// nothing. at is the step's start, with kStepRoom bytes free;
// x >= 0.

// The layout of short step s from its start.
inline short_layout layout_of(const plan_step& s) {
  return {s.d, s.len, s.point, s.first, s.shift};
}

// Stores the text of short F step s, whose integer part has lz leading
// zeros left out, at the step's start at and ends the step. Apart from
// quick_F, so that neither needs a frame.
[[gnu::noinline]] int32_t quick_F_store(const plan_step* s, char* at, uint64_t dig, bool neg,
                                        int32_t lz) {
  store8(at, s->text);
  short_F_store(at, dig, neg, s->first + lz - (neg ? 1 : 0), layout_of(*s));
  f__recpos += s->end;  // a field fills its width
  f__step = s->next;
  return 0;
}

// A short F field: its digits, whether its text fits and its integer part's
// leading zeros, then the stores.
inline int32_t quick_F(char* at, const plan_step& s, double x, bool neg, const char* p) {
  uint64_t v;
  // A negative value that rounds to zero (written without its sign) is left
  // to the short path: fits[1] counts from 1.
  if (!f__scaled_near(x, s.d, &v) || v - neg >= s.fits[neg ? 1 : 0]) return plan_step_value(p, 8);
  const uint64_t dig = digits8(static_cast<uint32_t>(v));
  return quick_F_store(&s, at, dig, neg, short_F_zeros(dig, layout_of(s)));
}

// A short E field of x > 0 whose first estimate of the exponent, or the one
// after it, gives its digits: returns the field's end, or null.
inline char* quick_E(char* at, const plan_step& s, double x, bool neg) {
  int32_t e2 = static_cast<int32_t>(std::bit_cast<uint64_t>(x) >> 52) - 1023;
  int32_t k = (e2 * 78913) >> 18;  // log10(2) ~ 78913 / 2^18: low by at most one
  int32_t sc = s.d - 1 - k;
  uint64_t v;
  if (!(x > 0) || sc < 1 || sc > 19 || !f__scaled_near(x, sc, &v)) return nullptr;
  if (v >= f__pow10[s.d]) {  // k was low, or the digits rounded up to 10^d
    ++k;
    if (!f__scaled_near(x, --sc, &v) || v >= f__pow10[s.d]) return nullptr;
  }
  if (v < f__pow10[s.d - 1]) return nullptr;
  store8(at, s.text);
  return short_E_text(at, static_cast<uint32_t>(v), k + 1, neg, layout_of(s));
}

// The double at p in short step s of the kind by the quick path, which the
// step's short path backs: any other goes to the full step (a tail call).
template <uint8_t kind>
[[gnu::always_inline]] inline int32_t quick_step(const plan_step& s, const char* p) {
  const int32_t len = sizeof(double);
  assert(f__recpos + kStepRoom < f__buflen);  // fmt_plan made the room
  uint64_t bits;
  memcpy(&bits, p, sizeof bits);
  double x = std::bit_cast<double>(bits & ~(uint64_t{1} << 63));
  bool neg = bits >> 63 != 0;
  char* at = f__buf + f__recpos;
  if (kind == STEP_SHORT_F) return quick_F(at, s, x, neg, p);
  char* e = quick_E(at, s, x, neg);
  if (e == nullptr) return plan_step_value(p, len);
  f__recpos += s.end;  // a field fills its width
  f__step = s.next;
  return 0;
}

// One double on a short E step.
[[gnu::noinline]] int32_t quick_E_step(const char* p) {
  return quick_step<STEP_SHORT_E>(*f__step, p);
}

// One double, on a plan or not: the common one, in a short F step, in this
// leaf.
[[gnu::noinline]] int32_t plan_value(const char* p) {
  const plan_step& s = *f__step;
  if (s.kind == STEP_SHORT_F) return quick_step<STEP_SHORT_F>(s, p);
  if (s.kind == STEP_SHORT_E) return quick_E_step(p);
  return plan_step_value(p, 8);
}

// Reports an operation code that the interpreter does not know.
int32_t unknown_code(int32_t op) {
  {
    io_guard g;
    fprintf(stderr, "unknown code in do_fio: %d\n%.*s\n", op, f__fmtlen, f__fmtbuf);
  }
  return err__fl(f__elist->err, 100, "do_fio");
}

// The general interpreter: runs the format from f__pc over the n values at
// p, as do_fio does. Out of line: the plan path stays free of its registers.
[[gnu::noinline]] int32_t run_fio(int32_t n, const char* p, int32_t len) {
  // The position and the stack tops live in registers while the format runs;
  // none of the routines called on the way reads them.
  int32_t pc = f__pc, cp = f__cp, rp = f__rp, rc = 0;
  for (int32_t i = 0; i < n;) {
    const syl* q = &f__syl[pc];
    if (q->op == REPEAT) {
      f__cnt[++cp] = q->p1;
      ++pc;
    } else if (q->op == GROUP_START) {
      f__ret[++rp] = q->p1;
      ++pc;
    } else if (q->op == GROUP_END) {
      // The group runs again from its restart index, or is done.
      const bool again = --f__cnt[cp] > 0;
      pc = again ? 1 + f__ret[rp] : pc + 1;
      cp -= again ? 0 : 1;
      --rp;
    } else if (q->op == FORMAT_END) {
      cp = rp = 0;
      pc = q->p1;
      if (p == nullptr) {
        rc = (*f__doend)();
        break;
      }
      if (!f__workdone || (rc = (*f__dorevert)()) != 0) break;
    } else if (type_f(q->op) == NONDATA_EDIT) {
      if ((*f__doned)(q) > 0) {
        rc = err__fl(f__elist->err, errno, "fmt");
        break;
      }
      ++pc;
    } else if (type_f(q->op) != DATA_EDIT) {
      rc = unknown_code(q->op);
      break;
    } else if (f__cnt[cp] <= 0) {
      --cp;
      ++pc;
    } else if (p == nullptr) {
      rc = (*f__doend)();
      break;
    } else {
      --f__cnt[cp];
      f__workdone = 1;
      if ((*f__doed)(q, p, len) > 0) {
        rc = err__fl(f__elist->err, errno, "fmt");
        break;
      }
      ++i;
      p += len;
    }
  }
  f__pc = pc;
  f__cp = cp;
  f__rp = rp;
  return rc;
}

}  // namespace

// Runs the format until each of the count values at ptr (each len bytes
// after the last) has been converted. A null ptr is the statement's end: the
// format runs on to the next data descriptor or its end, writing the
// literals on the way, and the record is ended.
int32_t do_fio(const int32_t* count, const void* ptr, int32_t len) {
  const char* p = static_cast<const char*>(ptr);
  if (*count == 1 && p != nullptr && len == 8) return plan_value(p);
  return f__step->kind == STEP_NONE ? run_fio(*count, p, len) : plan_fio(*count, p, len);
}

// Ends the record at a statement's end on a plan, as xw_end does: a plan's
// record has no tab past its end, no "$" and room for its newline (fmt_plan).
int32_t plan_end() {
  char* end = f__buf + f__recpos;
  end[0] = '\n';
  end[1] = 0;
  f__putrec(f__recpos + 1);
  f__recpos = f__cursor = f__hiwater = 0;
  return 0;
}

// Runs the format to its end without a value.
int32_t en_fio() {
  // The common end on a plan: at a field or at the format's end the record
  // ends, after the short literal before a short field.
  const plan_step& s = *f__step;
  if (short_step(s)) put_literal(s);
  if (s.kind >= STEP_SHORT_F) return plan_end();
  static const int32_t one = 1;
  return do_fio(&one, nullptr, 0);
}

}  // namespace rio
