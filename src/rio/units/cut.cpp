// Cutting a written file at its position.
#include "internal.h"
#include "platform/sys.h"

namespace rio {

// Writes what a's unit holds buffered, then cuts its file at the current
// position, so that it holds exactly what was written since the open and
// nothing of an older, longer file. The cut is made in place on the
// descriptor; a special file (a FIFO, a device) is never cut. Returns 0, or the error number when
// a's err flag is set: the system's code when buffered records could not be written, 111 when the
// cut failed.
int32_t t_runc(const cllist* a) {
  unitrec* b = &f__units[a->unit];
  if (b->recl != 0) return 0;
  if (int e = unitbuf_flush(b)) {
    f__curunit = b;
    return f__ioerr(a->err, e, "write");
  }
  // seekable only says that the stream is no terminal (f__canseek): a pipe
  // or a FIFO passes it, and is left uncut below, where sys::place finds
  // that it is no regular file.
  if (!b->seekable || b->name == nullptr) return 0;
  // The position the unit counted, else the system's; a file whose position
  // or size cannot be had cannot be known to need no cut.
  int64_t loc = b->out.at, length = 0;
  int fd = sys::fd_of(b->stream);
  if (sys::place(fd, &loc, &length) == 0 && (loc >= length || sys::cut(fd, loc) == 0)) return 0;
  f__curunit = b;
  return f__error(a->err, 111, "endfile");
}

}  // namespace rio
