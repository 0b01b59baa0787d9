// The platform interface on POSIX systems.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#if __has_include(<sys/sysmacros.h>)
#include <sys/sysmacros.h>
#endif

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "platform/sys.h"
#include "rio.h"

namespace rio::sys {

int fd_of(FILE* f) { return fileno(f); }

bool is_terminal(int fd) { return isatty(fd) != 0; }

kind path_kind(const char* name) {
  struct stat st {};
  if (stat(name, &st) != 0) return kind::absent;
  return S_ISREG(st.st_mode) || S_ISDIR(st.st_mode) ? kind::file : kind::special;
}

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

namespace {

const int kFatal[] = {SIGFPE, SIGABRT, SIGINT, SIGTERM};

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
int wake_read = -1;
std::atomic<int> wake_write{-1};

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

sigset_t current_mask() {
  sigset_t m;
  sigprocmask(SIG_SETMASK, nullptr, &m);
  return m;
}

}  // namespace

bool wait(int fd, bool out, int ms, bool (*noted)()) {
  return wait_with(fd, out, ms, noted, current_mask());
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

namespace {

// The standard descriptors whose description stays the one the process was
// given, blocking: each write to one waits for room first.
bool shared[3];

bool is_shared(int fd) { return fd >= 0 && fd < 3 && shared[fd]; }

// Whether a write to fd goes on at once: there is room, or it fails.
bool has_room(int fd) {
  pollfd p{fd, POLLOUT, 0};
  return poll(&p, 1, 0) == 1;
}

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

// A regular file takes the whole buffer in one call; the loop serves pipes,
// FIFOs and terminals, whose writes may take part of it or none.
namespace {

// Writes as write does, the signals that end the process where it stands
// (hang-up and quit, at their default) held off while the system writes:
// arriving during a write of several pages, either would end the process
// between two of them, in the middle of a record. Held off, it ends the
// process once the write is done. A wait for room lets them in (unless the
// process was started holding them off), as then no write is in progress.
int write_whole(int fd, const char* p, size_t n, size_t* done, bool (*noted)(),
                const sigset_t& outside) {
  size_t at = 0;
  int e = 0;
  while (at < n) {
    // A blocking description without room: the wait for it comes first,
    // where a signal can end it; the write then finds room, unless another
    // process took it.
    if (is_shared(fd) && !has_room(fd) && !wait_with(fd, true, -1, noted, outside)) {
      e = EINTR;
      break;
    }
    ssize_t k = ::write(fd, p + at, n - at);
    if (k > 0) {
      at += static_cast<size_t>(k);
    } else if (k < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!wait_with(fd, true, -1, noted, outside)) {
        e = EINTR;
        break;
      }
    } else if (k < 0 && errno == EINTR) {
      if (noted()) {
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

int write(int fd, const char* p, size_t n, size_t* done, bool (*noted)()) {
  sigset_t hold, old;
  sigemptyset(&hold);
  sigaddset(&hold, SIGHUP);
  sigaddset(&hold, SIGQUIT);
  sigprocmask(SIG_BLOCK, &hold, &old);
  int e = write_whole(fd, p, n, done, noted, old);
  sigprocmask(SIG_SETMASK, &old, nullptr);
  return e;
}

int64_t stored(const char*, size_t n) { return static_cast<int64_t>(n); }

void hold_std_descriptors() {
  for (int fd = 0; fd <= 2; ++fd)
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) open("/dev/null", O_RDONLY);
}

namespace {

handler handlers[NSIG];

void dispatch(int signo, siginfo_t* info, void*) {
  // Raised by the process itself: a processor fault (si_code > 0) or a
  // signal it sent itself, such as its own abort.
  bool own = info != nullptr && (info->si_code > 0 || info->si_pid == getpid());
  bool fault = signo == SIGFPE || signo == SIGABRT || signo == SIGSEGV || signo == SIGBUS;
  handlers[signo](signo, own && fault ? urgency::now : urgency::when_idle);
  wake_waits();
}

}  // namespace

void on_signal(int signo, handler h, bool keep_ignored) {
  open_wake_pipe();
  handlers[signo] = h;
  struct sigaction sa {};
  sa.sa_sigaction = dispatch;
  sa.sa_flags = SA_SIGINFO;  // no SA_RESTART: a waiting read must return
  sigemptyset(&sa.sa_mask);
  for (int s : kFatal) sigaddset(&sa.sa_mask, s);
  struct sigaction old {};
  sigaction(signo, &sa, &old);
  if (keep_ignored && old.sa_handler == SIG_IGN) sigaction(signo, &old, nullptr);
}

// A signal that ends a read runs its handler on the reading thread first.
void settle_input_end(int) {}

void ignore_write_signals() {
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
}

void hold_end_signals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigprocmask(SIG_BLOCK, &set, nullptr);
}

void let_signals_in() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : kFatal) sigaddset(&set, s);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

// Handlers run on the thread they interrupt: nothing to hand over.
void end_begins() {}
void files_closed() {}
bool console_event(unsigned long) { return false; }

bool stalled(int fd) {
  pollfd p{fd, POLLOUT, 0};
  return fd >= 0 && poll(&p, 1, 0) == 0;
}

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

// A terminal window stays when the run ends.
void keep_window() {}

}  // namespace rio::sys

namespace rio {

const bool kWindows = false;

}  // namespace rio
