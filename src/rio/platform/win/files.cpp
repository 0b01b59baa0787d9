// Files and positions on Windows, with the C run-time library.
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "platform/sys.h"
#include "rio.h"

namespace rio::sys {

int fd_of(FILE* f) { return _fileno(f); }

kind path_kind(const char* name) {
  struct _stat64 st {};
  if (_stat64(name, &st) != 0) return kind::absent;
  return (st.st_mode & (_S_IFREG | _S_IFDIR)) != 0 ? kind::file : kind::special;
}

bool is_folder(const char* name) {
  struct _stat64 st {};
  return _stat64(name, &st) == 0 && (st.st_mode & _S_IFDIR) != 0;
}

int enter(const char* name) { return _chdir(name) == 0 ? 0 : errno; }

bool is_regular(int fd) {
  struct _stat64 st {};
  return _fstat64(fd, &st) == 0 && (st.st_mode & _S_IFREG) != 0;
}

int64_t tell(int fd) { return _lseeki64(fd, 0, SEEK_CUR); }

int place(int fd, int64_t* at, int64_t* length) {
  struct _stat64 st {};
  if (_fstat64(fd, &st) != 0) return errno;
  if ((st.st_mode & _S_IFREG) == 0) {
    *at = *length = -1;
    return 0;
  }
  if (*at < 0 && (*at = _lseeki64(fd, 0, SEEK_CUR)) < 0) return errno;
  *length = st.st_size;
  return 0;
}

// Opening a device or a pipe's client end never waits here.
FILE* open_special(const char* name, bool (*)()) { return fopen(name, "w"); }

int cut(int fd, int64_t length) {
  if (int e = _chsize_s(fd, length)) return e;
  if (_lseeki64(fd, length, SEEK_SET) < 0) return errno;
  return 0;
}

int64_t stored(const char* p, size_t n) {
  int64_t bytes = static_cast<int64_t>(n);
  for (size_t i = 0; i < n; ++i) bytes += p[i] == '\n';
  return bytes;
}

}  // namespace rio::sys

namespace rio {

const bool kWindows = true;

}  // namespace rio
