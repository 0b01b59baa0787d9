// The quick path: one double on a short step of the plan, converted by the
// first tier (interpreter.h), in leaf functions.
#include "format/interpreter.h"

namespace rio {

namespace {

// The quick path of a short step: the short path without its exact
// arithmetic, in functions that make no call but a last jump, so that none
// saves registers. A value that it does not settle (its scaled value next to
// a half, a field that it does
// not fit) goes on to the step's short path, plan_step_value, having changed
// nothing. at is the step's start, with kStepRoom bytes free;
// x >= 0.

// The layout of short step s from its start.
inline short_layout layout_of(const plan_step& s) {
  return {s.d, s.len, s.at.point, s.at.first, s.at.shift};
}

// Stores the text of short F step s, whose integer part has lz leading
// zeros left out, at the step's start at and ends the step. Apart from
// quick_F, so that neither needs a frame.
[[gnu::noinline]] int32_t quick_F_store(const plan_step* s, char* at, uint64_t dig, bool neg,
                                        ptrdiff_t lz) {
  store8(at, s->text);
  short_F_store(at, dig, neg, ptrdiff_t{s->at.first} + lz - (neg ? 1 : 0), layout_of(*s));
  f__recpos += s->at.end;  // a field fills its width
  f__step = s->next;
  return 0;
}

// A short F field whose value v = x 10^d rounded has nine or ten digits
// (10^8 <= v < 2^32), as the short path writes it; any other to the short
// path. Out of line, so that quick_F needs no frame.
[[gnu::noinline]] int32_t quick_F_wide(const plan_step* s, char* at, uint64_t v, bool neg,
                                       const char* p) {
  if (v < 100000000) return plan_step_value(p, 8);
  store8(at, s->text);
  if (short_F_text16(at + s->len, v, neg, F_layout(s->w, s->d)) == nullptr)
    return plan_step_value(p, 8);
  f__recpos += s->at.end;  // a field fills its width
  f__step = s->next;
  return 0;
}

// A short F field: its digits, whether its text fits and its integer part's
// leading zeros, then the stores.
inline int32_t quick_F(char* at, const plan_step& s, double x, bool neg, const char* p) {
  uint64_t v;
  if (!f__scaled_near(x, s.d, &v)) return plan_step_value(p, 8);
  // A negative value that rounds to zero is written as zero, without its
  // sign (the tail of a column that settles from below).
  neg = neg && v != 0;
  if (v - neg >= s.fits[neg ? 1 : 0]) return quick_F_wide(&s, at, v, neg, p);
  const uint64_t dig = digits8(static_cast<uint32_t>(v));
  const uint64_t stop = dig | s.int_stop;
  if (stop == 0) __builtin_unreachable();           // int_stop is not 0: no test for a zero word
  const ptrdiff_t lz = std::countr_zero(stop) / 8;  // as short_F_zeros counts them
  return quick_F_store(&s, at, dig, neg, lz);
}

// A short E field of x > 0 whose digits the quick tier's scaling settles:
// returns the field's end, or null. Its columns up to the point are the
// step's e_head.
inline char* quick_E(const plan_step& s, double x, bool neg) {
  uint64_t v;
  int32_t k;
  if (!(x > 0) || !sci_scaled<false>(x, s.d, &v, &k)) return nullptr;
  const auto exp_at = static_cast<uint32_t>(k + 1 + 99);  // its text in kExponents
  const chunk16 head = s.e_head[neg ? 1 : 0];
  if (head[0] == 0 || exp_at > 198) return nullptr;  // no room for the sign, or |exponent| > 99
  char* at = f__buf + f__recpos;  // read once settled: fewer registers held meanwhile
  store8(at, s.text);
  memcpy(at + s.len, &head, sizeof head);
  return short_E_tail(at + s.at.point, static_cast<uint32_t>(v), exp_at, layout_of(s));
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
  if (kind == STEP_SHORT_F) return quick_F(f__buf + f__recpos, s, x, neg, p);
  char* e = quick_E(s, x, neg);
  if (e == nullptr) return plan_step_value(p, len);
  f__recpos += s.at.end;  // a field fills its width
  f__step = s.next;
  return 0;
}

// One double on a short E step.
[[gnu::noinline]] int32_t quick_E_step(const char* p) {
  return quick_step<STEP_SHORT_E>(*f__step, p);
}

}  // namespace

// One double, on a plan or not: the common one, in a short F step, in this
// leaf.
[[gnu::noinline]] int32_t plan_value(const char* p) {
  const plan_step& s = *f__step;
  if (s.kind == STEP_SHORT_F) return quick_step<STEP_SHORT_F>(s, p);
  if (s.kind == STEP_SHORT_E) return quick_E_step(p);
  return plan_step_value(p, 8);
}

}  // namespace rio
