// The platform interface on Windows, with the C run-time library and Win32.
//
// Records: the run-time hands each unit's records to write() on the stream's
// descriptor, and a Windows text file stores each line feed as a carriage
// return and a line feed. write() makes that translation itself and hands
// the bytes to WriteFile on the descriptor's handle, so that it knows which
// characters reached the file when a write is cut short.
//
// Signals: the C library runs the handler of an interrupt typed at the
// console (Ctrl+C) on a thread of its own, and puts the default action back
// before it calls it. Such a handler only notes the signal (urgency
// deferred); the main thread acts on it.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <csignal>

#include "rio.h"
#include "sys.h"

namespace rio::sys {

namespace {

// Taken during the start-up of the process, which runs on the main thread.
const DWORD main_thread = GetCurrentThreadId();
// Set each time a handler on another thread has noted its signal.
const HANDLE noted = CreateEventW(nullptr, FALSE, FALSE, nullptr);

HANDLE handle_of(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

bool is_console(int fd) {
  DWORD mode = 0;
  return _isatty(fd) != 0 && GetConsoleMode(handle_of(fd), &mode) != 0;
}

// The C library's code for a failed write, as its own _write gives it.
int write_error_code(DWORD e) {
  switch (e) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
      return EPIPE;
    case ERROR_INVALID_HANDLE:
    case ERROR_ACCESS_DENIED:  // a descriptor open for reading only
      return EBADF;
    case ERROR_OPERATION_ABORTED:
      return EINTR;
    default:
      return EIO;
  }
}

}  // namespace

int fd_of(FILE* f) { return _fileno(f); }

bool is_terminal(int fd) { return is_console(fd); }

kind path_kind(const char* name) {
  struct _stat64 st {};
  if (_stat64(name, &st) != 0) return kind::absent;
  return (st.st_mode & (_S_IFREG | _S_IFDIR)) != 0 ? kind::file : kind::special;
}

bool is_regular(int fd) {
  struct _stat64 st {};
  return _fstat64(fd, &st) == 0 && (st.st_mode & _S_IFREG) != 0;
}

int64_t tell(int fd) { return _lseeki64(fd, 0, SEEK_CUR); }

int64_t size(int fd) {
  struct _stat64 st {};
  return _fstat64(fd, &st) == 0 && (st.st_mode & _S_IFREG) != 0 ? st.st_size : -1;
}

int cut(int fd, int64_t length) {
  if (int e = _chsize_s(fd, length)) return e;
  if (_lseeki64(fd, length, SEEK_SET) < 0) return errno;
  return 0;
}

// Stores each line feed as CR LF, a chunk at a time. When the system takes
// only part of a chunk, *done counts the characters whose stored bytes all
// reached the file; a carriage return that went without its line feed is
// taken back, so that the file ends where those characters end.
int write(int fd, const char* p, size_t n, size_t* done) {
  HANDLE h = handle_of(fd);
  char buf[4096];
  size_t at = 0;
  while (at < n) {
    size_t len = 0, end = at;
    for (; end < n && len + 2 <= sizeof buf; ++end) {
      if (p[end] == '\n') buf[len++] = '\r';
      buf[len++] = p[end];
    }
    size_t put = 0;
    while (put < len) {
      DWORD k = 0;
      if (WriteFile(h, buf + put, static_cast<DWORD>(len - put), &k, nullptr) && k > 0) {
        put += k;
        continue;
      }
      int e = k == 0 && GetLastError() == ERROR_SUCCESS ? EIO : write_error_code(GetLastError());
      size_t stored_bytes = 0;
      for (; at < end; ++at) {
        size_t w = p[at] == '\n' ? 2 : 1;
        if (stored_bytes + w > put) break;
        stored_bytes += w;
      }
      if (stored_bytes < put) {
        int64_t pos = _lseeki64(fd, -1, SEEK_CUR);
        if (pos >= 0 && is_regular(fd)) _chsize_s(fd, pos);
      }
      *done = at;
      return e;
    }
    at = end;
  }
  *done = n;
  return 0;
}

int64_t stored(const char* p, size_t n) {
  int64_t bytes = static_cast<int64_t>(n);
  for (size_t i = 0; i < n; ++i) bytes += p[i] == '\n';
  return bytes;
}

// A process started without a standard handle has its descriptor closed, or
// marked as having no console; either way it gets the null device, open for
// reading only, so that writes to it fail.
void hold_std_descriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    intptr_t h = _get_osfhandle(fd);
    if (h != -1 && h != -2) continue;
    int nul = _open("NUL", _O_RDONLY);
    if (nul >= 0 && nul != fd) {
      _dup2(nul, fd);
      _close(nul);
    }
  }
}

namespace {

handler handlers[NSIG];

void __cdecl dispatch(int signo) {
  signal(signo, dispatch);  // the C library put back the default action
  bool other_thread = GetCurrentThreadId() != main_thread;
  bool fault = signo == SIGFPE || signo == SIGABRT || signo == SIGSEGV || signo == SIGILL;
  urgency u = other_thread ? urgency::deferred : fault ? urgency::now : urgency::when_idle;
  handlers[signo](signo, u);
  if (other_thread) SetEvent(noted);
}

}  // namespace

// One signal at a time reaches the handlers on the main thread; a console
// interrupt runs on its own thread and only notes itself, so nothing needs
// holding off. A console read is not restarted after Ctrl+C: it returns.
void on_signal(int signo, handler h, bool keep_ignored) {
  handlers[signo] = h;
  auto old = signal(signo, dispatch);
  if (keep_ignored && old == SIG_IGN) signal(signo, SIG_IGN);
}

// Windows has no such signals: a write to a closed pipe or a full disk fails
// with the system's error.
void ignore_write_signals() {}

void hold_end_signals() {
  signal(SIGINT, SIG_IGN);
  signal(SIGTERM, SIG_IGN);
}

// A console read is ended by Ctrl+C itself, and a file never waits. Input
// from a pipe is waited for here, a little at a time, so that a noted
// signal ends the wait; the event latches a signal noted just before it.
void wait_for_input(int fd, bool (*is_noted)()) {
  HANDLE h = handle_of(fd);
  if (GetFileType(h) != FILE_TYPE_PIPE) return;
  while (!is_noted()) {
    DWORD avail = 0;
    // Input, or the pipe's end, which the read then meets.
    if (!PeekNamedPipe(h, nullptr, 0, nullptr, &avail, nullptr) || avail > 0) return;
    WaitForSingleObject(noted, 50);
  }
}

// Ctrl+C ends a console read at once, often before its handler thread has
// noted the signal; the wait for that is short, as the thread is already
// being started.
void settle_input_end(int fd) {
  if (is_console(fd)) WaitForSingleObject(noted, 250);
}

void write_error(const char* s, size_t n) {
  size_t done = 0;
  write(2, s, n, &done);
}

}  // namespace rio::sys

namespace rio {

const bool kWindows = true;

}  // namespace rio
