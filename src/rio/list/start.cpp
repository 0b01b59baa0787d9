// The start shared by list-directed writes and reads.
#include "internal.h"
#include "list/lio.h"

namespace rio {

// Checks the unit of a list-directed statement and makes it current.
int32_t c_le(const cilist* a) {
  if (f__init != kInitialised) f_init();
  f__init = kInitialised | kInStatement;
  forget_again();
  f__fmtbuf = "list io";
  f__fmtlen = 7;
  if (static_cast<uint32_t>(a->unit) >= MXUNIT) return f__error(a->err, 101, "stler");
  f__curunit = &f__units[a->unit];
  f__recpos = 0;
  f__scale = 0;
  f__elist = a;
  if (f__curunit->stream == nullptr && fk_open(FK_SEQUENTIAL, FK_FORMATTED, a->unit) != 0)
    return f__error(a->err, 102, "lio");
  f__cf = f__curunit->stream;
  if (!f__curunit->formatted) return f__error(a->err, 103, "lio");
  return 0;
}

// Transfers count items of the given type, each len bytes after the last.
int32_t do_lio(const int32_t* type, const int32_t* count, const void* ptr, int32_t len) {
  return (*f__lioproc)(count, static_cast<const char*>(ptr), len, *type);
}

}  // namespace rio
