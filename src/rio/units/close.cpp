// Disconnecting a unit.

#include <cerrno>
#include <cstdlib>

#include "internal.h"

namespace rio {

namespace {

// Closes unit b's stream and deletes its file; what was buffered goes too.
void close_deleting(unitrec* b) {
  assert_signals_held();
  unitbuf_free(b);
  fclose(b->stream);
  f__unhold(b, false);  // Windows deletes no file that a handle holds open
  if (b->name != nullptr) remove(b->name);
  free(b->name);
}

// Closes unit b's stream keeping its file: a written file is cut at its
// position; a standard stream stays open. Returns 0 or an error number.
int32_t close_keeping(unitrec* b, const cllist* a) {
  assert_signals_held();
  int32_t rc = b->written ? t_runc(a) : 0;
  if (b->name == nullptr) return rc;
  FILE* f = b->stream;
  b->stream = nullptr;
  bool closed = fclose(f) == 0;
  int e = errno;
  f__unhold(b, true);
  if (!closed && rc == 0) {
    f__curunit = b;
    rc = f__error(a->err, e, "close", origin::system);
  }
  free(b->name);
  return rc;
}

}  // namespace

// Closes the unit of a: a written file is cut at its position, a named
// stream is closed; a standard stream is only marked unconnected. Returns 0,
// or, with a's err flag set, the number of an error met on the way.
int32_t f_clos(const cllist* a) {
  io_guard g;
  if (f__init & kInStatement) f__fatal(131, "I/O recursion");
  forget_again();
  if (a->unit < 0 || a->unit >= MXUNIT) return 0;
  unitrec* b = &f__units[a->unit];
  int32_t rc = 0;
  if (b->stream != nullptr) {
    bool del = b->scratch || (a->stat != nullptr && (*a->stat == 'd' || *a->stat == 'D'));
    if (del)
      close_deleting(b);
    else
      rc = close_keeping(b, a);
    b->stream = nullptr;
  }
  b->atend = 0;
  b->name = nullptr;
  unitbuf_free(b);
  return rc;
}

}  // namespace rio
