// The plan walker: carries out the steps of a format's plan (plan.cpp) in
// order, a literal, a field or a reversion each, the short fields by the
// short path where it applies.
#include <cerrno>

#include "format/interpreter.h"

namespace rio {

namespace {

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

}  // namespace

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

// Ends the record at a statement's end on a plan at step s, a field or the
// format's end, as xw_end does: the short literal before a short field, then
// the newline, stored with the step's end_text. A plan's record has no tab
// past its end, no "$" and kStepRoom bytes of room past it (fmt_plan), and a
// plan moves no column, so f__hiwater stays 0. A short
// record goes to its unit's buffer inline, as f__putrec would hand it.
int32_t plan_end(const plan_step& s) {
  char* const buf = f__buf;  // read once: the stores below may alias it
  int32_t n = f__recpos;
  assert(short_step(s) || s.len == 0);              // only a short field takes a literal
  memcpy(buf + n, &s.end_text, sizeof s.end_text);  // the literal, the newline and a NUL
  n += s.len + 1;
  f__recpos = 0;
  if (!unitbuf_quick(f__curunit->out, buf, static_cast<uint32_t>(n))) return f__putrec(n);
  if (f__sigpend != 0 && f__busy == 0) f__sigact();
  return 0;
}

}  // namespace rio
