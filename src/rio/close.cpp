// Disconnecting a unit, and cutting a written file at its position.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "internal.h"

namespace rio {

namespace {

// After a failed write: cuts a regular file after the last complete record
// that reached it, so that neither a part of a record nor anything of an
// older, longer file is left behind it.
void cut_after_last_record(int fd) {
  struct stat st {};
  off_t end = lseek(fd, 0, SEEK_CUR);
  if (end <= 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return;
  char buf[4096];
  off_t cut = 0;
  for (off_t at = end; at > 0 && cut == 0;) {
    off_t from = at > static_cast<off_t>(sizeof buf) ? at - static_cast<off_t>(sizeof buf) : 0;
    ssize_t n = pread(fd, buf, static_cast<size_t>(at - from), from);
    if (n <= 0) return;
    for (ssize_t i = n; i > 0 && cut == 0; --i)
      if (buf[i - 1] == '\n') cut = from + i;
    at = from;
  }
  if (ftruncate(fd, cut) != 0) {
    // Nothing more can be done: the failed write is reported either way.
  }
}

}  // namespace

// Cuts the written file of a's unit at its current position, so that it
// holds exactly what was written since the open and nothing of an older,
// longer file. The cut is made in place on the descriptor. Returns 0, or the
// error number when a's err flag is set: the system's code when buffered
// records could not be written, 111 when the cut failed.
int32_t t_runc(const cllist* a) {
  unitrec* b = &f__units[a->unit];
  if (b->recl != 0) return 0;
  FILE* f = b->stream;
  // A stream that has failed a write holds only part of what was handed to
  // it, whatever the flush says now.
  bool flushed = fflush(f) == 0;
  if (!flushed || ferror(f)) {
    int e = flushed ? EIO : errno;
    if (b->name != nullptr) cut_after_last_record(fileno(f));
    f__curunit = b;
    return f__error(a->err, e, "write");
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
  f__freebuf(b);
  return rc;
}

}  // namespace rio
