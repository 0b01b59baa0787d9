// The format interpreter and the formatted write statement.
#include <cerrno>

#include "fmt.h"

namespace rio {

int32_t f__cnt[kStackMax], f__ret[kStackMax], f__cp, f__rp;
int32_t f__workdone;

// Resets the interpreter for a new statement.
void fmt_bg() {
  f__workdone = f__cp = f__rp = f__pc = f__cursor = 0;
  f__cnt[0] = f__ret[0] = 0;
}

// Runs the format until each of the count values at ptr (each len bytes
// after the last) has been converted. A null ptr is the statement's end: the
// format runs on to the next data descriptor or its end, writing the
// literals on the way, and the record is ended.
int32_t do_fio(const int32_t* count, const void* ptr, int32_t len) {
  const char* p = static_cast<const char*>(ptr);
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

// Checks the unit of a formatted statement and makes it current.
int32_t c_sfe(const cilist* a) {
  if (static_cast<uint32_t>(a->unit) >= MXUNIT) return f__error(a->err, 101, "startio");
  f__curunit = &f__units[a->unit];
  if (f__curunit->stream == nullptr && fk_open(3, 5, a->unit) != 0)
    return f__error(a->err, 114, "sfe");
  if (!f__curunit->formatted) return f__error(a->err, 102, "sfe");
  return 0;
}

// Carries out one data operation on the value at ptr.
int w_ed(const syl* p, const char* ptr, int32_t len) {
  switch (p->op) {
    case F_FIELD:
      return wrt_F(ptr, p->p1, p->p2.i[0], len);
    case E_FIELD:
      return wrt_E(ptr, p->p1, p->p2.i[0], p->p2.i[1], len);
    default:
      fprintf(stderr, "w_ed, unexpected code: %d\n", p->op);
      sig_die(f__fmtbuf, 1);
  }
}

// Carries out one non-data operation.
int w_ned(const syl* p) {
  switch (p->op) {
    case QUOTED_TEXT:
      return wrt_AP(p->p2.s);
    default:
      fprintf(stderr, "w_ned, unexpected code: %d\n", p->op);
      sig_die(f__fmtbuf, 1);
  }
}

// Ends the record at the statement's end.
int xw_end() {
  if (f__nonl) {
    f__putbuf(0);
    fflush(f__cf);
  } else {
    f__putbuf('\n');
  }
  f__recpos = f__cursor = f__hiwater = 0;
  return 0;
}

// Ends the record at a format reversion.
int xw_rev() {
  f__putbuf('\n');
  f__recpos = f__cursor = f__hiwater = 0;
  f__workdone = 0;
  return 0;
}

// Starts a formatted write on the unit of a: parses its format afresh.
int32_t s_wsfe(const cilist* a) {
  if (f__init != 1) f_init();
  f__init = 3;
  f__reading = 0;
  f__sequential = 1;
  f__formatted = 1;
  f__external = 1;
  if (int32_t n = c_sfe(a)) return n;
  f__elist = a;
  f__hiwater = f__cursor = f__recpos = 0;
  f__nonl = 0;
  f__scale = 0;
  f__fmtbuf = a->format;
  f__cf = f__curunit->stream;
  if (f__fmtbuf == nullptr || pars_f(f__fmtbuf) < 0) return f__error(a->err, 100, "startio");
  f__doed = w_ed;
  f__doned = w_ned;
  f__doend = xw_end;
  f__dorevert = xw_rev;
  f__donewrec = x_wSL;
  f__putn = x_putc;
  fmt_bg();
  f__cplus = 0;
  f__cblank = f__curunit->blankzero;
  if (f__curunit->written != 1 && f__nowwriting(f__curunit))
    return f__error(a->err, errno, "write start");
  return 0;
}

// Ends a formatted write: the format runs to its end and the record is
// written.
int32_t e_wsfe() {
  f__init = 1;
  int32_t n = en_fio();
  f__fmtbuf = nullptr;
  return n;
}

}  // namespace rio
