// Files and positions on POSIX systems: what a path names, where a file
// stands, its cut, and the open of a special file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/sys.h"
#include "rio.h"

namespace rio::sys {

int fd_of(FILE* f) { return fileno(f); }

kind path_kind(const char* name) {
  struct stat st {};
  if (stat(name, &st) != 0) return kind::absent;
  return S_ISREG(st.st_mode) || S_ISDIR(st.st_mode) ? kind::file : kind::special;
}

bool is_folder(const char* name) {
  struct stat st {};
  return stat(name, &st) == 0 && S_ISDIR(st.st_mode);
}

int enter(const char* name) { return chdir(name) == 0 ? 0 : errno; }

bool is_regular(int fd) {
  struct stat st {};
  return fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

int64_t tell(int fd) { return lseek(fd, 0, SEEK_CUR); }

int place(int fd, int64_t* at, int64_t* length) {
  struct stat st {};
  if (fstat(fd, &st) != 0) return errno;
  if (!S_ISREG(st.st_mode)) {
    *at = *length = -1;
    return 0;
  }
  if (*at < 0 && (*at = lseek(fd, 0, SEEK_CUR)) < 0) return errno;
  *length = st.st_size;
  return 0;
}

int cut(int fd, int64_t length) {
  if (ftruncate(fd, length) != 0 || lseek(fd, length, SEEK_SET) < 0) return errno;
  return 0;
}

// A FIFO without a reader refuses a writer that will not wait (ENXIO): the
// open is tried again after each short wait, which a signal ends.
FILE* open_special(const char* name, bool (*noted)()) {
  int fd;
  while ((fd = open(name, O_WRONLY | O_NONBLOCK | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)) < 0) {
    if (errno != ENXIO) return nullptr;
    if (!wait(-1, false, 20, noted)) {
      errno = EINTR;
      return nullptr;
    }
  }
  FILE* f = fdopen(fd, "w");
  if (f == nullptr) close(fd);
  return f;
}

int64_t stored(const char*, size_t n) { return static_cast<int64_t>(n); }

}  // namespace rio::sys

namespace rio {

const bool kWindows = false;

}  // namespace rio
