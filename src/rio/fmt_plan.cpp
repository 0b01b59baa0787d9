// The plan of a parsed format: the operations that the interpreter carries
// out for the values of a statement, in order, with groups and repeat counts
// already resolved.
#include <algorithm>

#include "fmt.h"

namespace rio {

int16_t f__plan[kPlanMax];
int32_t f__planlen, f__planloop, f__planpos = -1;
uint64_t f__planlit[kPlanMax];
uint8_t f__planlitlen[kPlanMax];
bool f__fmtref;

namespace {

// Operations the layout may run through before it gives up: a group repeated
// many times over nothing but skipped fields would take long for no plan.
constexpr int32_t kPlanSteps = 2000;

// Records operation pc, the literal whose opening delimiter is at s, as entry
// n, with its characters when it is short and holds no doubled delimiter.
void plan_literal(int32_t n, int32_t pc, const char* s) {
  f__plan[n] = static_cast<int16_t>(pc);
  const char quote = *s++;
  int32_t len = 0;
  uint64_t text = 0;
  for (; len <= 8 && s[len] != 0 && s[len] != quote; ++len)
    if (len < 8) text |= static_cast<uint64_t>(static_cast<unsigned char>(s[len])) << 8 * len;
  bool simple = len > 0 && len <= 8 && s[len] == quote && s[len + 1] != quote;
  f__planlit[n] = text;
  f__planlitlen[n] = static_cast<uint8_t>(simple ? len : 0);
}

// Lays out the plan of the f__pc operations in f__syl by running them the
// way do_fio does, recording each literal, each field that takes a value and
// each reversion (as the index of its operation). The first pass from the
// start is followed by one pass from the reversion index; after that pass's
// last field the plan goes on at f__planloop, the end of the first pass's
// last field, since every later pass repeats the second.
//
// No plan (f__planlen 0) when the format holds anything but groups, literals,
// F and E fields, when a pass converts no value (the interpreter then leaves
// values untransferred), or when the plan would be long.
void lay_out() {
  int32_t cnt[kStackMax] = {}, ret[kStackMax] = {}, cp = 0, rp = 0, pc = 0;
  int32_t n = 0, last = 0, loop = 0, revert = -1, fields = 0;
  for (int32_t steps = 0; steps < kPlanSteps; ++steps) {
    const syl* q = &f__syl[pc];
    switch (q->op) {
      case GROUP_START:
        ret[++rp] = q->p1;
        ++pc;
        continue;
      case REPEAT:
        cnt[++cp] = q->p1;
        ++pc;
        continue;
      case GROUP_END: {
        const bool again = --cnt[cp] > 0;  // the group runs again, or is done
        pc = again ? 1 + ret[rp] : pc + 1;
        cp -= again ? 0 : 1;
        --rp;
        continue;
      }
      case QUOTED_TEXT:
        if (n == kPlanMax) return;
        plan_literal(n++, pc++, q->p2.s);
        continue;
      case F_FIELD:
      case E_FIELD:
        if (cnt[cp] <= 0) {
          --cp;
          ++pc;
          continue;
        }
        if (n == kPlanMax) return;
        --cnt[cp];
        f__plan[n++] = static_cast<int16_t>(pc);
        last = n;
        ++fields;
        continue;
      case FORMAT_END:
        if (fields == 0) return;
        if (revert < 0) {
          if (n == kPlanMax) return;
          loop = last;
          revert = n;
          f__plan[n++] = static_cast<int16_t>(pc);
          cp = rp = 0;
          pc = q->p1;
          fields = 0;
          continue;
        }
        // Both passes end alike from the reversion index; checked all the same.
        if (n - last != revert - loop || !std::equal(f__plan + last, f__plan + n, f__plan + loop))
          return;
        f__planlen = last;
        f__planloop = loop;
        return;
      default:
        return;
    }
  }
}

}  // namespace

void fmt_plan() {
  f__planlen = 0;
  std::fill(f__planlitlen, f__planlitlen + kPlanMax, 0);
  lay_out();
}

}  // namespace rio
