// Turning a unit between reading and writing.
#include <cerrno>

#include "internal.h"
#include "platform/sys.h"

namespace rio {

namespace {

// Reopens the file of unit x on its stream with mode, at the position the
// stream had; null when the reopen fails (the old stream is closed then). A
// file that the unit held is held anew, as the hold was the old stream's;
// null too when another run took it meanwhile.
FILE* reopen_at(unitrec* x, const char* mode) {
  assert_signals_held();
  int64_t loc = sys::tell(sys::fd_of(x->stream));
  bool held = x->holds;
  f__unhold(x, false);
  FILE* f = freopen(x->name, mode, x->stream);
  if (f == nullptr) return nullptr;
  f__unbuffer(f, loc);
  x->stream = f;
  if (held && f__hold(x) != 0) {
    fclose(f);
    return nullptr;
  }
  return f;
}

int format_index(const unitrec* x) { return x->recl ? 0 : x->formatted; }

}  // namespace

// Turns unit x to writing; returns 1 with 127 in errno when it cannot be.
int32_t f__nowwriting(unitrec* x) {
  io_guard g;
  if ((x->rwmode & 2) == 0) {
    FILE* f = x->name != nullptr ? reopen_at(x, f__w_mode[format_index(x) + 2]) : nullptr;
    if (x->name != nullptr) x->stream = f__cf = f;
    if (f == nullptr) {
      errno = 127;
      return 1;
    }
    x->rwmode = 3;
  }
  // The file is held before the unit's first change to it.
  if (int32_t e = f__hold(x)) {
    errno = e;
    return 1;
  }
  x->written = 1;
  unitbuf_start(x, true, -1);  // a read may have moved it: the system is asked
  return 0;
}

// Turns unit x to reading, for reading and writing if it can be, else for
// reading only; returns 1 with 126 in errno when it cannot be. The records
// still buffered are written first, and reading goes on from there.
int32_t f__nowreading(unitrec* x) {
  io_guard g;
  if (x->written) f__flush(x, "write");
  if ((x->rwmode & 1) == 0) {
    if (x->name == nullptr) {
      errno = 126;
      return 1;
    }
    int64_t loc = sys::tell(sys::fd_of(x->stream));
    FILE* f = reopen_at(x, f__w_mode[format_index(x) + 2]);
    if (f != nullptr) {
      x->rwmode = 3;
    } else if ((f = fopen(x->name, f__r_mode[format_index(x)])) != nullptr) {
      x->rwmode = 1;
      f__unbuffer(f, loc);
    }
    x->stream = f__cf = f;
    if (f == nullptr) {
      errno = 126;
      return 1;
    }
  }
  x->written = 0;
  return 0;
}

}  // namespace rio
