// Holds on POSIX systems: a file held against other runs that write it.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#if __has_include(<sys/sysmacros.h>)
#include <sys/sysmacros.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/sys.h"

namespace rio::sys {

// Holds are flock's: they belong to the open file description, so that no
// close of another descriptor ends them (as it would a record lock's), and
// the system ends them with the process whatever ends it. The hold keeps a
// descriptor of its own on that description, so that it outlives the unit's.
namespace {

// The process that holds the file of fd, from the system's table of locks
// (Linux's /proc/locks: "1: FLOCK  ADVISORY  WRITE <pid> <major>:<minor>:
// <inode> 0 EOF"); 0 where it is not told.
long holder_of(int fd) {
  struct stat st {};
  FILE* f = fstat(fd, &st) == 0 ? fopen("/proc/locks", "re") : nullptr;
  if (f == nullptr) return 0;
  long pid = 0;
  char line[256];
  while (pid == 0 && fgets(line, sizeof line, f) != nullptr) {
    char type[16];
    long p = 0;
    unsigned dev_major = 0, dev_minor = 0;
    unsigned long long ino = 0;
    if (sscanf(line, "%*d: %15s %*s %*s %ld %x:%x:%llu", type, &p, &dev_major, &dev_minor, &ino) ==
            5 &&
        strcmp(type, "FLOCK") == 0 && ino == st.st_ino && dev_major == major(st.st_dev) &&
        dev_minor == minor(st.st_dev))
      pid = p;
  }
  fclose(f);
  return pid;
}

}  // namespace

held hold_file(int fd, intptr_t* id, long* holder) {
  if (!is_regular(fd)) return held::none;
  int own = fcntl(fd, F_DUPFD_CLOEXEC, 3);
  if (flock(own >= 0 ? own : fd, LOCK_EX | LOCK_NB) == 0) {
    *id = own;  // -1: held through fd alone, until it closes
    return held::taken;
  }
  int e = errno;
  if (own >= 0) close(own);
  if (e != EWOULDBLOCK) return held::none;  // ENOLCK, EOPNOTSUPP, EINVAL
  *holder = holder_of(fd);
  return held::refused;
}

void release(intptr_t id) {
  if (id < 0) return;
  flock(static_cast<int>(id), LOCK_UN);
  close(static_cast<int>(id));
}

FILE* open_uncut(const char* name, const char* mode) {
  int fd = open(name, O_WRONLY | O_CREAT, 0666);
  FILE* f = fd >= 0 ? fdopen(fd, mode) : nullptr;
  if (f == nullptr && fd >= 0) {
    int e = errno;
    close(fd);
    errno = e;
  }
  return f;
}

}  // namespace rio::sys
