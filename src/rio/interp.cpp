// The format interpreter: runs the parsed format over the values.
#include <cerrno>

#include "short_field.h"

namespace rio {

int32_t f__cnt[kStackMax], f__ret[kStackMax], f__cp, f__rp;
int32_t f__workdone;

// Resets the interpreter for a new statement, which follows the format's
// plan when it has one.
void fmt_bg() {
  f__workdone = f__cp = f__rp = f__pc = f__cursor = 0;
  f__cnt[0] = f__ret[0] = 0;
  f__planpos = f__planlen > 0 && !f__fmtref ? 0 : -1;
}

namespace {

// Carries out the literal of plan entry k: a short one by one store (whose
// slack past the record's end the next field or nothing overwrites), any
// other by its writer. Returns the writer's result.
int plan_literal(int32_t k, const syl* q) {
  if (int32_t n = f__planlitlen[k]) {
    store8(x_room(kSlack), f__planlit[k]);
    f__recpos += n;
    return 0;
  }
  return wrt_AP(q->p2.s);
}

// Converts the value at p by the field of q: an F field by its short path
// where that applies, else by its writer.
[[gnu::always_inline]] inline int plan_field(const syl* q, const char* p, int32_t len) {
  if (q->op == E_FIELD) return wrt_E(p, q->p1, q->p2.i[0], q->p2.i[1], len);
  double x;
  bool sign = load_magnitude(p, len, &x);
  return short_F(x, sign, q->p1, q->p2.i[0]) ? 0 : wrt_F(p, q->p1, q->p2.i[0], len);
}

// do_fio for a format with a plan: its entries are carried out in order, a
// literal, a reversion or a field each, until each value has had its field.
// It assumes what s_wsfe installs in the slots (w_ed, w_ned, xw_end, xw_rev)
// and calls the writers they lead to directly. A null p is the statement's
// end: the literals up to the next field or reversion, then the record end.
int32_t plan_fio(int32_t n, const char* p, int32_t len) {
  const int32_t last = f__planlen - 1, loop = f__planloop;
  int32_t k = f__planpos, rc = 0;
  for (int32_t i = 0; i < n;) {
    const syl* q = &f__syl[f__plan[k]];
    const int32_t next = k == last ? loop : k + 1;
    if (q->op == QUOTED_TEXT) {
      if (plan_literal(k, q) > 0) {
        rc = err__fl(f__elist->err, errno, "fmt");
        break;
      }
    } else if (p == nullptr) {
      rc = xw_end();
      break;
    } else if (q->op == FORMAT_END) {
      if ((rc = xw_rev()) != 0) break;
    } else {
      k = next;
      if (plan_field(q, p, len) > 0) {
        rc = err__fl(f__elist->err, errno, "fmt");
        break;
      }
      ++i;
      p += len;
      continue;
    }
    k = next;
  }
  f__planpos = k;
  return rc;
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
  return f__planpos >= 0 ? plan_fio(*count, p, len) : run_fio(*count, p, len);
}

// Runs the format to its end without a value.
int32_t en_fio() {
  static const int32_t one = 1;
  return do_fio(&one, nullptr, 0);
}

}  // namespace rio
