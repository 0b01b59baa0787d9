// The general interpreter: runs the parsed format over the values, and the
// entry that hands each value to one of the three layers (interpreter.h).
#include "format/interpreter.h"

#include <cerrno>

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

// Reports an operation code that the interpreter does not know.
int32_t unknown_code(int32_t op) {
  {
    io_guard g;
    fprintf(stderr, "unknown code in do_fio: %d\n%.*s\n", op, f__fmtlen, f__fmtbuf);
  }
  return err__fl(f__elist->err, 100, "do_fio");
}

}  // namespace

// The general interpreter: runs the format from f__pc over the n values at
// p, as do_fio does. Out of line: the plan path stays free of its registers.
[[gnu::noinline]] int32_t run_fio(int32_t n, const char* p, int32_t len) {
  // The position and the stack tops live in registers while the format runs;
  // none of the routines called on the way reads them.
  fmt_walk w{f__cnt, f__ret, f__pc, f__cp, f__rp};
  int32_t rc = 0;
  for (int32_t i = 0; i < n;) {
    const syl* q = &f__syl[w.pc];
    if (w.group(*q)) continue;
    if (q->op == FORMAT_END) {
      w.revert(q->p1);
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
      ++w.pc;
    } else if (type_f(q->op) != DATA_EDIT) {
      rc = unknown_code(q->op);
      break;
    } else if (w.spent()) {
      continue;
    } else if (p == nullptr) {
      rc = (*f__doend)();
      break;
    } else {
      w.take();
      f__workdone = 1;
      if ((*f__doed)(q, p, len) > 0) {
        rc = err__fl(f__elist->err, errno, "fmt");
        break;
      }
      ++i;
      p += len;
    }
  }
  f__pc = w.pc;
  f__cp = w.cp;
  f__rp = w.rp;
  return rc;
}

// Runs the format until each of the count values at ptr (each len bytes
// after the last) has been converted. A null ptr is the statement's end: the
// format runs on to the next data descriptor or its end, writing the
// literals on the way, and the record is ended.
int32_t do_fio(const int32_t* count, const void* ptr, int32_t len) {
  const char* p = static_cast<const char*>(ptr);
  if (*count == 1 && p != nullptr && len == 8) return plan_value(p);
  return f__step->kind == STEP_NONE ? run_fio(*count, p, len) : plan_fio(*count, p, len);
}

// Runs the format to its end without a value.
int32_t en_fio() {
  // The common end on a plan: at a field or at the format's end the record
  // ends, after the short literal before a short field.
  const plan_step& s = *f__step;
  if (s.kind >= STEP_SHORT_F) return plan_end(s);
  static const int32_t one = 1;
  return do_fio(&one, nullptr, 0);
}

}  // namespace rio
