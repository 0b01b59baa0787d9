// The platform interface on POSIX systems.
#include <fcntl.h>
#include <sys/select.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "rio.h"
#include "sys.h"

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

int64_t size(int fd) {
  struct stat st {};
  return fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? st.st_size : -1;
}

int cut(int fd, int64_t length) {
  if (ftruncate(fd, length) != 0 || lseek(fd, length, SEEK_SET) < 0) return errno;
  return 0;
}

// A regular file takes the whole buffer in one call; the loop serves pipes
// and a write cut short by a signal.
namespace {

// Writes as write does, the signals that end the process where it stands
// (hang-up and quit, at their default) held off: arriving during a write of
// several pages, either would end the process between two of them, in the
// middle of a record. Held off, it ends the process once the write is done.
int write_whole(int fd, const char* p, size_t n, size_t* done) {
  size_t at = 0;
  while (at < n) {
    ssize_t k = ::write(fd, p + at, n - at);
    if (k > 0) {
      at += static_cast<size_t>(k);
    } else if (k < 0 && errno == EINTR) {
      continue;
    } else {
      *done = at;
      return k < 0 ? errno : EIO;
    }
  }
  *done = at;
  return 0;
}

}  // namespace

int write(int fd, const char* p, size_t n, size_t* done) {
  sigset_t hold, old;
  sigemptyset(&hold);
  sigaddset(&hold, SIGHUP);
  sigaddset(&hold, SIGQUIT);
  sigprocmask(SIG_BLOCK, &hold, &old);
  int e = write_whole(fd, p, n, done);
  sigprocmask(SIG_SETMASK, &old, nullptr);
  return e;
}

int64_t stored(const char*, size_t n) { return static_cast<int64_t>(n); }

namespace {
const int kFatal[] = {SIGFPE, SIGABRT, SIGINT, SIGTERM};
}  // namespace

// The fatal signals are held off from the test of noted() until pselect
// lets them in, atomically with the start of its wait.
void wait_for_input(int fd, bool (*noted)()) {
  sigset_t hold, old;
  sigemptyset(&hold);
  for (int s : kFatal) sigaddset(&hold, s);
  sigprocmask(SIG_BLOCK, &hold, &old);
  if (!noted()) {
    fd_set in;
    FD_ZERO(&in);
    FD_SET(fd, &in);
    pselect(fd + 1, &in, nullptr, nullptr, nullptr, &old);
  }
  sigprocmask(SIG_SETMASK, &old, nullptr);
}

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
}

}  // namespace

void on_signal(int signo, handler h, bool keep_ignored) {
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

void write_error(const char* s, size_t n) {
  while (n > 0) {
    ssize_t k = ::write(2, s, n);
    if (k <= 0) return;
    s += k;
    n -= static_cast<size_t>(k);
  }
}

}  // namespace rio::sys

namespace rio {

const bool kWindows = false;

}  // namespace rio
