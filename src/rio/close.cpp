// Disconnecting a unit.

#include <cerrno>
#include <cstdlib>

#include "internal.h"

namespace rio {

// Closes the unit of a: a written file is cut at its position, a named
// stream is closed; a standard stream is only marked unconnected. Returns 0,
// or, with a's err flag set, the number of an error met on the way.
int32_t f_clos(const cllist* a) {
  io_guard g;
  if (f__init & 2) f__fatal(131, "I/O recursion");
  if (a->unit < 0 || a->unit >= MXUNIT) return 0;
  unitrec* b = &f__units[a->unit];
  int32_t rc = 0;
  if (b->stream != nullptr) {
    bool del = b->scratch || (a->stat != nullptr && (*a->stat == 'd' || *a->stat == 'D'));
    if (del) {
      f__ubfree(b);  // what was buffered goes with the file
      fclose(b->stream);
      if (b->name != nullptr) remove(b->name);
      free(b->name);
    } else {
      if (b->written) rc = t_runc(a);
      if (b->name != nullptr) {
        FILE* f = b->stream;
        b->stream = nullptr;
        if (fclose(f) != 0 && rc == 0) {
          f__curunit = b;
          rc = f__error(a->err, errno, "close");
        }
        free(b->name);
      }
    }
    b->stream = nullptr;
  }
  b->atend = 0;
  b->name = nullptr;
  f__ubfree(b);
  return rc;
}

}  // namespace rio
