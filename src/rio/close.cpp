// Disconnecting a unit, and cutting a written file at its position.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "internal.h"

namespace rio {

// Cuts the written file of a's unit at its current position, so that it
// holds exactly what was written since the open and nothing of an older,
// longer file. The cut is made in place on the descriptor. Returns 0, or the
// error number when a's err flag is set: the system's code when buffered
// records could not be written, 111 when the cut failed.
int32_t t_runc(const cllist* a) {
  unitrec* b = &f__units[a->unit];
  if (b->recl != 0) return 0;
  FILE* f = b->stream;
  if (fflush(f) != 0) {
    f__curunit = b;
    return f__error(a->err, errno, "close");
  }
  long loc = ftell(f);
  struct stat st {};
  if (loc < 0 || !b->seekable || b->name == nullptr || fstat(fileno(f), &st) != 0 ||
      !S_ISREG(st.st_mode) || loc >= st.st_size)
    return 0;
  if (ftruncate(fileno(f), loc) != 0) {
    f__curunit = b;
    return f__error(a->err, 111, "endfile");
  }
  return 0;
}

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
  return rc;
}

}  // namespace rio
