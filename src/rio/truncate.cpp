// Cutting a written file at its position.
#include "internal.h"
#include "sys.h"

namespace rio {

// Writes what a's unit holds buffered, then cuts its file at the current
// position, so that it holds exactly what was written since the open and
// nothing of an older, longer file. The cut is made in place on the
// descriptor. Returns 0, or the error number when a's err flag is set: the
// system's code when buffered records could not be written, 111 when the
// cut failed.
int32_t t_runc(const cllist* a) {
  unitrec* b = &f__units[a->unit];
  if (b->recl != 0) return 0;
  if (int e = f__ubflush(b)) {
    f__curunit = b;
    return f__error(a->err, e, "write");
  }
  int fd = sys::fd_of(b->stream);
  int64_t loc = sys::tell(fd);
  if (loc < 0 || !b->seekable || b->name == nullptr || loc >= sys::size(fd)) return 0;
  if (sys::cut(fd, loc) != 0) {
    f__curunit = b;
    return f__error(a->err, 111, "endfile");
  }
  return 0;
}

}  // namespace rio
