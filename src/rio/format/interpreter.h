// The format interpreter's three layers, a file each, and the tiers by which
// a value's field is converted.
//
// A statement's values reach do_fio (interpreter.cpp), which hands each to
// one of three layers:
// - the quick path (quick_path.cpp): plan_value and quick_step carry out a
//   short step of the format's plan on one double, in leaf functions;
// - the plan walker (plan_walk.cpp): plan_step_value and plan_fio carry out
//   the plan's steps in order, a literal, a field or a reversion each;
// - the general interpreter (interpreter.cpp): run_fio runs the parsed
//   operations themselves, for a format without a plan (or with f__fmtref).
//
// The conversion of one value into its F or E field has four tiers. Each
// takes what the one before it does not settle (a scaled value next to a
// half, a field wider than the short path's, a value out of its reach), the
// record unchanged, and each gives the same characters:
// 1. quick: quick_F and quick_E (quick_path.cpp) on a short step: the value
//    times 10^d by f__scaled_near alone, its digits by digits8, the step's
//    stores; no exact arithmetic, no call but a last jump.
// 2. short: short_F_at and short_E_at (short_field.h), at most sixteen
//    columns, with the exact scaling of f__scaled behind f__scaled_near;
//    reached on a plan by short_step_fits (plan_walk.cpp), from the writers
//    by short_F (wrt_F) and short_E_at (wrt_E).
// 3. exact: fixed_field for F and sci_digits for E (field_writers.cpp), any
//    width, for values whose scaled value fits 64 bits (f__scaled,
//    exact_scaling.cpp).
// 4. text: text_field for F and sci_digits' fallback for E
//    (field_writers.cpp), from the decimal text of std::to_chars: the values
//    beyond 64 bits and those that are not finite.
// The writers wrt_F and wrt_E (field_writers.cpp) run tiers 2 to 4; the plan
// walker calls them for a step that the first two do not settle.
#pragma once

#include "format/short_field.h"

namespace rio {

// The general interpreter: runs the format from f__pc over the n values at
// p, as do_fio does.
int32_t run_fio(int32_t n, const char* p, int32_t len);

// The plan walker: n values at p on the plan from f__step (a null p is the
// statement's end); one value on the statement's step; the record's end at a
// statement's end on a plan.
int32_t plan_fio(int32_t n, const char* p, int32_t len);
int32_t plan_step_value(const char* p, int32_t len);
int32_t plan_end(const plan_step& s);

// The quick path: one double, on a plan or not.
int32_t plan_value(const char* p);

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

}  // namespace rio
