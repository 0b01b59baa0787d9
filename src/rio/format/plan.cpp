// The plan of a parsed format: the operations that the interpreter carries
// out for the values of a statement, in order, with groups and repeat counts
// already resolved.
#include <algorithm>
#include <cstring>

#include "format/fmt.h"
#include "format/short_field.h"

namespace rio {

plan_step f__plan[kPlanMax + 1];  // the last, at kNoPlan, a STEP_NONE
int32_t f__planlen;
const plan_step* f__step = &f__plan[kNoPlan];
bool f__fmtref;

namespace {

// Operations the layout may run through before it gives up: a group repeated
// many times over nothing but skipped fields would take long for no plan.
constexpr int32_t kPlanSteps = 2000;

// The operations of the plan's steps, as the layout finds them.
int16_t ops[kPlanMax];

// The step of the literal whose opening delimiter is at s: its characters
// when it is short and holds no doubled delimiter.
plan_step literal_step(const char* s) {
  const char quote = *s++;
  int32_t len = 0;
  uint64_t text = 0;
  for (; len <= 8 && s[len] != 0 && s[len] != quote; ++len)
    if (len < 8) text |= static_cast<uint64_t>(static_cast<unsigned char>(s[len])) << 8 * len;
  plan_step step{};
  step.kind = STEP_TEXT;
  if (len > 0 && len <= 8 && s[len] == quote && s[len + 1] != quote) {
    step.kind = STEP_LITERAL;
    step.len = static_cast<uint8_t>(len);
    step.text = text;
  }
  return step;
}

// The step of operation pc.
plan_step step_of(int32_t pc) {
  const syl* q = &f__syl[pc];
  plan_step step{};
  step.kind = STEP_FIELD;
  if (q->op == QUOTED_TEXT) step = literal_step(q->p2.s);
  if (q->op == FORMAT_END) step.kind = STEP_REVERT;
  const int32_t w = q->p1, d = q->p2.i[0], e = q->p2.i[1];
  // A field too narrow for its point and the digits after it (and the
  // exponent) has no short path: its writer fills it with asterisks.
  if (q->op == F_FIELD && w <= 16 && d <= 7 && w > d) step.kind = STEP_SHORT_F;
  if (q->op == E_FIELD && w <= 16 && d > 0 && d <= 8 && (e == 0 || e == 2) && w >= d + 5)
    step.kind = STEP_SHORT_E;
  if (step.kind == STEP_SHORT_F || step.kind == STEP_SHORT_E) {
    step.w = static_cast<int16_t>(w);
    step.d = static_cast<int16_t>(d);
    step.e = static_cast<int16_t>(e);
  }
  step.op = static_cast<int16_t>(pc);
  return step;
}

// Step s's literal, then the newline and a NUL.
chunk16 end_text_of(const plan_step& s) {
  char b[sizeof(chunk16)] = {};
  store8(b, s.text);
  b[s.len] = '\n';
  return load16(b);
}

// A short E step's field up to its point, with its minus sign when sign, as
// short_E_head stores it; zero bytes when the sign does not fit.
chunk16 e_head_of(const plan_step& s, bool sign) {
  char b[kShort + kSlack] = {};
  if (short_E_head(b, sign, E_layout(s.w, s.d)) == nullptr) return chunk16{};
  return load16(b);
}

// Lays the steps of the first last operations out, each with the one after
// it; a short literal followed by a short field becomes one step.
void make_steps(int32_t last, int32_t loop) {
  int32_t at[kPlanMax];  // the step that each operation begins in
  int32_t m = 0;
  for (int32_t k = 0; k < last; ++k) {
    plan_step step = step_of(ops[k]);
    at[k] = m;
    bool short_field = step.kind == STEP_SHORT_F || step.kind == STEP_SHORT_E;
    if (short_field && m > 0 && f__plan[m - 1].kind == STEP_LITERAL && k != loop) {
      step.len = f__plan[m - 1].len;
      step.text = f__plan[m - 1].text;
      at[k] = --m;
    }
    if (short_field) {  // the field's layout, moved past the literal before it
      short_layout L =
          step.kind == STEP_SHORT_F ? F_layout(step.w, step.d) : E_layout(step.w, step.d);
      step.at.point = static_cast<uint8_t>(step.len + L.point);
      step.at.shift = static_cast<uint8_t>(L.shift);
      step.at.first = static_cast<int8_t>(step.len + L.first);
      step.at.end = static_cast<uint8_t>(step.len + step.w);
      if (step.kind == STEP_SHORT_F) step.int_stop = uint64_t{1} << (L.shift - 8);  // d <= 7
      // The columns before the point hold the sign, if any, and at least one
      // integer digit.
      for (int32_t sign = 0; sign < 2; ++sign) {
        if (step.kind == STEP_SHORT_E) step.e_head[sign] = e_head_of(step, sign != 0);
        const int32_t cols = step.w - step.d - 1 - sign;
        step.fits[sign] =
            static_cast<uint32_t>(cols < 1 ? 0 : f__pow10[std::min(step.d + cols, 8)] - sign);
      }
    }
    step.end_text = end_text_of(step);
    f__plan[m++] = step;
  }
  for (int32_t j = 0; j < m; ++j) f__plan[j].next = &f__plan[j + 1 < m ? j + 1 : at[loop]];
  f__planlen = m;
}

// Lays out the plan of the f__pc operations in f__syl by running them the
// way do_fio does, recording each literal, each field that takes a value and
// each reversion (as the index of its operation). The first pass from the
// start is followed by one pass from the reversion index; after that pass's
// last field the plan goes on at the end of the first pass's
// last field, since every later pass repeats the second.
//
// No plan (f__planlen 0) when the format holds anything but groups, literals,
// F and E fields, when a pass converts no value (the interpreter then leaves
// values untransferred), or when the plan would be long.
void lay_out() {
  int32_t cnt[kStackMax] = {}, ret[kStackMax] = {};
  fmt_walk w{cnt, ret, 0, 0, 0};
  int32_t n = 0, last = 0, loop = 0, revert = -1, fields = 0;
  for (int32_t steps = 0; steps < kPlanSteps; ++steps) {
    const syl* q = &f__syl[w.pc];
    if (w.group(*q)) continue;
    switch (q->op) {
      case QUOTED_TEXT:
        if (n == kPlanMax) return;
        ops[n++] = static_cast<int16_t>(w.pc++);
        continue;
      case F_FIELD:
      case E_FIELD:
        if (w.spent()) continue;
        if (n == kPlanMax) return;
        w.take();
        ops[n++] = static_cast<int16_t>(w.pc);
        last = n;
        ++fields;
        continue;
      case FORMAT_END:
        if (fields == 0) return;
        if (revert < 0) {
          if (n == kPlanMax) return;
          loop = last;
          revert = n;
          ops[n++] = static_cast<int16_t>(w.pc);
          w.revert(q->p1);
          fields = 0;
          continue;
        }
        // Both passes end alike from the reversion index; checked all the same.
        if (n - last != revert - loop || !std::equal(ops + last, ops + n, ops + loop)) return;
        make_steps(last, loop);
        return;
      default:
        return;
    }
  }
}

// The most characters that a record of the plan can hold: every step's,
// as if one record took them all (a long literal's by its text).
int64_t longest_record() {
  int64_t n = 0;
  for (int32_t j = 0; j < f__planlen; ++j) {
    const plan_step& s = f__plan[j];
    const syl& q = f__syl[s.op];
    if (s.kind == STEP_TEXT) n += static_cast<int64_t>(strlen(q.p2.s));
    if (s.kind == STEP_FIELD) n += q.p1;
    n += s.kind == STEP_SHORT_F || s.kind == STEP_SHORT_E ? s.at.end : s.len;
  }
  return n;
}

}  // namespace

// The quick path relies on the record buffer having kStepRoom characters
// free past any short step's start; the buffer never shrinks, so it is
// grown here once for the plan. A format whose records could be very long
// runs without a plan.
void fmt_plan() {
  f__planlen = 0;
  lay_out();
  const int64_t need = longest_record() + kStepRoom;
  if (need >= kPlanRecordMax)
    f__planlen = 0;
  else if (need >= f__buflen)
    f__bufadj(static_cast<int32_t>(need), f__buflen);
}

}  // namespace rio
