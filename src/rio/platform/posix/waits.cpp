// Waits and whole writes on POSIX systems: the one wait of the run-time,
// which a signal ends at any moment, and the writes that wait for room
// through it.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>

#include "platform/posix/posix.h"
#include "platform/sys.h"

namespace rio::sys {

#ifdef RIO_WAIT_PPOLL

// Waits as wait() does, with the signals of during let in for the wait
// alone, the fatal ones always: those are held off from the test of noted()
// until ppoll lets them in, atomically with the start of its wait.
bool wait_with(int fd, bool out, int ms, bool (*noted)(), sigset_t during) {
  sigset_t hold, old;
  sigemptyset(&hold);
  for (int s : kFatal) {
    sigaddset(&hold, s);
    sigdelset(&during, s);
  }
  sigprocmask(SIG_BLOCK, &hold, &old);
  bool ended = noted();
  if (!ended) {
    pollfd p{fd, static_cast<short>(out ? POLLOUT : POLLIN), 0};
    timespec t{ms / 1000, ms % 1000 * 1000000L};
    ppoll(&p, fd >= 0 ? 1 : 0, ms >= 0 ? &t : nullptr, &during);
    ended = noted();
  }
  sigprocmask(SIG_SETMASK, &old, nullptr);
  return !ended;
}

void wake_waits() {}
void open_wake_pipe() {}

#else

// Without ppoll: each handler writes a byte to a pipe that every wait
// watches beside its descriptor, so that a signal that comes after the test
// of noted() still ends the wait at once. The read end, and the write end
// for the handlers; -1 until the first handler is installed.
namespace {
int wake_read = -1;
std::atomic<int> wake_write{-1};
}  // namespace

void open_wake_pipe() {
  int p[2];
  if (wake_read >= 0 || pipe(p) != 0) return;
  for (int end : p) {
    fcntl(end, F_SETFL, O_NONBLOCK);
    fcntl(end, F_SETFD, FD_CLOEXEC);
  }
  wake_read = p[0];
  wake_write = p[1];
}

// In a handler, keeping the interrupted code's errno.
void wake_waits() {
  int saved = errno;
  int w = wake_write;
  if (w >= 0 && ::write(w, "", 1) < 0) {
    // full: the pipe already wakes the wait
  }
  errno = saved;
}

// Waits as wait() does, with the signals of during and the fatal ones let in
// for the whole call: the pipe is emptied before the test of noted(), and
// what a handler writes after it ends poll's wait.
bool wait_with(int fd, bool out, int ms, bool (*noted)(), sigset_t during) {
  sigset_t old;
  for (int s : kFatal) sigdelset(&during, s);
  sigprocmask(SIG_SETMASK, &during, &old);
  char drained[64];
  while (wake_read >= 0 && read(wake_read, drained, sizeof drained) > 0) {
  }
  bool ended = noted();
  if (!ended) {
    pollfd p[2] = {{fd, static_cast<short>(out ? POLLOUT : POLLIN), 0}, {wake_read, POLLIN, 0}};
    poll(p, 2, ms);
    ended = noted();
  }
  sigprocmask(SIG_SETMASK, &old, nullptr);
  return !ended;
}

#endif

namespace {

sigset_t current_mask() {
  sigset_t m;
  sigprocmask(SIG_SETMASK, nullptr, &m);
  return m;
}

// Whether a write to fd goes on at once: there is room, or it fails.
bool has_room(int fd) {
  pollfd p{fd, POLLOUT, 0};
  return poll(&p, 1, 0) == 1;
}

}  // namespace

bool wait(int fd, bool out, int ms, bool (*noted)()) {
  return wait_with(fd, out, ms, noted, current_mask());
}

namespace {

// How write() waits for room: what ends the wait early, and the signals let
// in meanwhile.
struct room_wait {
  bool (*noted)();
  int patience;
  sigset_t outside;
};

// Waits for room in fd as write does: false when w.noted() ends the wait,
// or, with a patience of 0 or more, when that many ms pass without room
// (*e says which).
bool wait_room(int fd, const room_wait& w, int* e) {
  if (!wait_with(fd, true, w.patience, w.noted, w.outside)) {
    *e = EINTR;
    return false;
  }
  if (w.patience >= 0 && !has_room(fd)) {
    *e = EAGAIN;
    return false;
  }
  return true;
}

// Writes as write does, the signals that end the process where it stands
// (hang-up and quit, at their default) held off while the system writes:
// arriving during a write of several pages, either would end the process
// between two of them, in the middle of a record. Held off, it ends the
// process once the write is done. A wait for room lets them in (unless the
// process was started holding them off), as then no write is in progress.
int write_whole(int fd, const char* p, size_t n, size_t* done, const room_wait& w) {
  size_t at = 0;
  int e = 0;
  while (at < n) {
    // A blocking description without room: the wait for it comes first,
    // where a signal can end it; the write then finds room, unless another
    // process took it.
    if (is_shared(fd) && !has_room(fd) && !wait_room(fd, w, &e)) break;
    ssize_t k = ::write(fd, p + at, n - at);
    if (k > 0) {
      at += static_cast<size_t>(k);
    } else if (k < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!wait_room(fd, w, &e)) break;
    } else if (k < 0 && errno == EINTR) {
      if (w.noted()) {
        e = EINTR;
        break;
      }
    } else {
      e = k < 0 ? errno : EIO;
      break;
    }
  }
  *done = at;
  return e;
}

}  // namespace

// A regular file takes the whole buffer in one call; the loop serves pipes,
// FIFOs and terminals, whose writes may take part of it or none.
int write(int fd, const char* p, size_t n, size_t* done, bool (*noted)(), int patience) {
  sigset_t hold;
  sigemptyset(&hold);
  sigaddset(&hold, SIGHUP);
  sigaddset(&hold, SIGQUIT);
  room_wait w{noted, patience, {}};
  sigprocmask(SIG_BLOCK, &hold, &w.outside);  // the waits let in what was let in before
  int e = write_whole(fd, p, n, done, w);
  sigprocmask(SIG_SETMASK, &w.outside, nullptr);
  return e;
}

}  // namespace rio::sys
