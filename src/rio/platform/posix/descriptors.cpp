// The standard descriptors on POSIX systems: terminals, a description of
// their own for the run's writes, descriptors the process was started
// without, and what a handler asks of them and writes to them.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/posix/posix.h"
#include "platform/sys.h"

namespace rio::sys {

bool is_terminal(int fd) { return isatty(fd) != 0; }

namespace {

// The standard descriptors whose description stays the one the process was
// given, blocking: each write to one waits for room first.
bool shared[3];

// Opens fd anew through /proc, its writes returning instead of blocking, in
// its place; false where there is no /proc.
bool reopen_own(int fd, int flags) {
#ifdef RIO_NO_PROC
  static_cast<void>(fd);
  static_cast<void>(flags);
  return false;
#else
  char path[40];
  snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
  int own = open(path, O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (flags & O_APPEND));
  if (own < 0) return false;
  dup2(own, fd);
  close(own);
  return true;
#endif
}

}  // namespace

bool is_shared(int fd) { return fd >= 0 && fd < 3 && shared[fd]; }

// Opened anew through /proc, a pipe or a terminal gets a description of its
// own. Where that cannot be had, the description is left as it is, shared
// and blocking (making it non-blocking would change the shell's too, and a
// kill would leave it so), and each write waits for room before it starts.
bool own_description(int fd) {
  struct stat st {};
  if (fstat(fd, &st) != 0 || S_ISREG(st.st_mode) || S_ISSOCK(st.st_mode)) return false;
  int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY) return false;
  if (!reopen_own(fd, flags) && fd < 3) shared[fd] = (flags & O_NONBLOCK) == 0;
  return true;
}

void hold_std_descriptors() {
  for (int fd = 0; fd <= 2; ++fd)
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) open("/dev/null", O_RDONLY);
}

// A signal that ends a read runs its handler on the reading thread first.
void settle_input_end(int) {}

// A terminal window stays when the run ends.
void keep_window() {}

// A descriptor without room now, whatever it is.
bool stalled(int fd) {
  pollfd p{fd, POLLOUT, 0};
  return fd >= 0 && poll(&p, 1, 0) == 0;
}

// What standard error takes at once, with the system's own write.
void write_error(const char* s, size_t n) {
  while (n > 0) {
    pollfd p{2, POLLOUT, 0};
    if (poll(&p, 1, 0) != 1 || (p.revents & POLLOUT) == 0) return;
    ssize_t k = ::write(2, s, n);
    if (k <= 0) return;
    s += k;
    n -= static_cast<size_t>(k);
  }
}

}  // namespace rio::sys
