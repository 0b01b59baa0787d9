// The format interpreter: runs the parsed format over the values.
#include <cerrno>

#include "fmt.h"

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

// do_fio for a format with a plan: its entries are carried out in order, a
// literal, a reversion or a field each, until each value has had its field.
// It assumes what s_wsfe installs in the slots (w_ed, w_ned, xw_end, xw_rev)
// and calls the writers they lead to directly. A null p is the statement's
// end: the literals up to the next field or reversion, then the record end.
int32_t plan_fio(int32_t n, const char* p, int32_t len) {
  int32_t k = f__planpos, rc = 0;
  for (int32_t i = 0; i < n; ++i, p += len) {
    for (;;) {
      const syl* q = &f__syl[f__plan[k]];
      if (q->op == QUOTED_TEXT) {
        if (wrt_AP(q->p2.s) > 0) {
          rc = err__fl(f__elist->err, errno, "fmt");
          goto out;
        }
      } else if (p == nullptr) {
        rc = xw_end();
        goto out;
      } else if (q->op == FORMAT_END) {
        if ((rc = xw_rev()) != 0) goto out;
      } else {
        k = k + 1 == f__planlen ? f__planloop : k + 1;
        int rw = q->op == F_FIELD ? wrt_F(p, q->p1, q->p2.i[0], len)
                                  : wrt_E(p, q->p1, q->p2.i[0], q->p2.i[1], len);
        if (rw > 0) {
          rc = err__fl(f__elist->err, errno, "fmt");
          goto out;
        }
        break;
      }
      k = k + 1 == f__planlen ? f__planloop : k + 1;
    }
  }
out:
  f__planpos = k;
  return rc;
}

}  // namespace

// Runs the format until each of the count values at ptr (each len bytes
// after the last) has been converted. A null ptr is the statement's end: the
// format runs on to the next data descriptor or its end, writing the
// literals on the way, and the record is ended.
int32_t do_fio(const int32_t* count, const void* ptr, int32_t len) {
  const char* p = static_cast<const char*>(ptr);
  if (f__planpos >= 0) return plan_fio(*count, p, len);
  // The position and the stack tops live in registers while the format runs;
  // none of the routines called on the way reads them.
  int32_t pc = f__pc, cp = f__cp, rp = f__rp;
  int32_t rc = 0;
  const int32_t n = *count;
  for (int32_t i = 0; i < n; ++i, p = p != nullptr ? p + len : p) {
    for (;;) {
      const syl* q = &f__syl[pc];
      // The codes this parser produces are dispatched directly; any other
      // goes by its class.
      switch (q->op) {
        case REPEAT:
          f__cnt[++cp] = q->p1;
          ++pc;
          continue;
        case GROUP_START:
          f__ret[++rp] = q->p1;
          ++pc;
          continue;
        case GROUP_END:
          if (--f__cnt[cp] <= 0) {
            --cp;
            --rp;
            ++pc;
          } else {
            pc = 1 + f__ret[rp--];
          }
          continue;
        case FORMAT_END:
          cp = rp = 0;
          pc = q->p1;
          if (p == nullptr) {
            rc = (*f__doend)();
            goto out;
          }
          if (!f__workdone) goto out;
          if ((rc = (*f__dorevert)()) != 0) goto out;
          continue;
        case QUOTED_TEXT:
          goto nondata;
        case F_FIELD:
        case E_FIELD:
          goto data;
        default:
          if (type_f(q->op) == DATA_EDIT) goto data;
          if (type_f(q->op) == NONDATA_EDIT) goto nondata;
          {
            io_guard g;
            fprintf(stderr, "unknown code in do_fio: %d\n%.*s\n", q->op, f__fmtlen, f__fmtbuf);
          }
          rc = err__fl(f__elist->err, 100, "do_fio");
          goto out;
      }
    nondata:
      if ((*f__doned)(&f__syl[pc]) > 0) {
        rc = err__fl(f__elist->err, errno, "fmt");
        goto out;
      }
      ++pc;
      continue;
    data:
      if (f__cnt[cp] <= 0) {
        --cp;
        ++pc;
        continue;
      }
      if (p == nullptr) {
        rc = (*f__doend)();
        goto out;
      }
      --f__cnt[cp];
      f__workdone = 1;
      if ((*f__doed)(&f__syl[pc], p, len) > 0) {
        rc = err__fl(f__elist->err, errno, "fmt");
        goto out;
      }
      break;
    }
  }
out:
  f__pc = pc;
  f__cp = cp;
  f__rp = rp;
  return rc;
}

// Runs the format to its end without a value.
int32_t en_fio() {
  static const int32_t one = 1;
  return do_fio(&one, nullptr, 0);
}

}  // namespace rio
