// Cutting a written file at its position.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

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

}  // namespace rio
