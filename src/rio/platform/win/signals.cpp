// The platform interface on Windows, with the C run-time library and Win32.
//
// Records: the run-time hands each unit's records to write() on the stream's
// descriptor, and a Windows text file stores each line feed as a carriage
// return and a line feed. write() makes that translation itself and hands
// the bytes to WriteFile on the descriptor's handle, so that it knows which
// characters reached the file when a write is cut short.
//
// Signals: the console runs its control handler (Ctrl+C, Ctrl+Break, the
// window's close, logoff, shutdown) on a thread of its own. That handler
// only notes the signal (urgency deferred); the main thread acts on it. Until
// the run has begun its end, the handler ends whatever the main thread is
// blocked in (a write to a pipe whose reader stalls, a console read), so that
// the main thread comes to act on the signal; from then on, until the files
// are cut and closed, only a write that waits for a pipe's reader, so that
// the end never waits for one and its text, cut and close are never ended.
// It holds the process until then, as Windows ends it when the handler of a
// close, a logoff or a shutdown returns. The C library's own handlers (raise,
// a processor fault) run on the thread that raised them.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>

#include "platform/sys.h"
#include "rio.h"

namespace rio::sys {

namespace {

// Taken during the start-up of the process, which runs on the main thread.
const DWORD main_thread = GetCurrentThreadId();
const HANDLE main_handle = OpenThread(THREAD_TERMINATE, FALSE, main_thread);
// Set each time a handler on another thread has noted its signal.
const HANDLE noted = CreateEventW(nullptr, FALSE, FALSE, nullptr);
// Set once the files are cut and closed.
const HANDLE closed = CreateEventW(nullptr, TRUE, FALSE, nullptr);

HANDLE handle_of(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

// What the console's handler may end, changed and read under one lock, so
// that a cancel never lands on a call that began after the state changed.
SRWLOCK cancel_lock = SRWLOCK_INIT;
bool end_begun;   // the run has begun its end
bool pipe_waits;  // the main thread is in a write to a pipe

void set_guarded(bool& flag, bool value) {
  AcquireSRWLockExclusive(&cancel_lock);
  flag = value;
  ReleaseSRWLockExclusive(&cancel_lock);
}

// Marks the main thread's write to a pipe, which waits for its reader.
struct pipe_write {
  explicit pipe_write(HANDLE h) : on_(GetFileType(h) == FILE_TYPE_PIPE) {
    if (on_) set_guarded(pipe_waits, true);
  }
  ~pipe_write() {
    if (on_) set_guarded(pipe_waits, false);
  }
  pipe_write(const pipe_write&) = delete;
  pipe_write& operator=(const pipe_write&) = delete;

 private:
  bool on_;
};

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

// A write blocked on a pipe is ended by the console's handler instead.
bool own_description(int) { return false; }

int cut(int fd, int64_t length) {
  if (int e = _chsize_s(fd, length)) return e;
  if (_lseeki64(fd, length, SEEK_SET) < 0) return errno;
  return 0;
}

// Stores each line feed as CR LF, a chunk at a time. When the system takes
// only part of a chunk, *done counts the characters whose stored bytes all
// reached the file; a carriage return that went without its line feed is
// taken back, so that the file ends where those characters end. A write
// blocked on a pipe is ended by the console's handler (CancelSynchronousIo)
// once it has noted a signal; a cancel without a noted signal, late for a
// wait that has ended, is not a failure.
int write(int fd, const char* p, size_t n, size_t* done, bool (*is_noted)()) {
  HANDLE h = handle_of(fd);
  pipe_write marked(h);
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
      BOOL ok = WriteFile(h, buf + put, static_cast<DWORD>(len - put), &k, nullptr);
      DWORD why = ok ? ERROR_SUCCESS : GetLastError();
      put += k;
      if (ok && k > 0) continue;
      if (why == ERROR_OPERATION_ABORTED && !is_noted()) continue;
      int e = why == ERROR_SUCCESS ? EIO : write_error_code(why);
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
bool ignored[NSIG];  // kept ignored, as the process was started

void __cdecl dispatch(int signo) {
  signal(signo, dispatch);  // the C library put back the default action
  bool other_thread = GetCurrentThreadId() != main_thread;
  bool fault = signo == SIGFPE || signo == SIGABRT || signo == SIGSEGV || signo == SIGILL;
  urgency u = other_thread ? urgency::deferred : fault ? urgency::now : urgency::when_idle;
  handlers[signo](signo, u);
  if (other_thread) SetEvent(noted);
}

// Ends the main thread's blocking call: before the run has begun its end,
// whatever it is; after, only a write that waits for a pipe's reader.
void end_main_call() {
  AcquireSRWLockExclusive(&cancel_lock);
  if (!end_begun || pipe_waits) CancelSynchronousIo(main_handle);
  ReleaseSRWLockExclusive(&cancel_lock);
}

// How long the handler of a close, a logoff or a shutdown holds the process:
// Windows ends it about five seconds after the event, and the handler
// returns before, by the clock, however long each pass of its loop takes
// (a wait of 10 ms lasts a timer tick, 15.6 ms by default).
constexpr std::chrono::milliseconds kHoldAtClose{4500};

// The console's control handler: Ctrl+C is an interrupt, the others a
// termination request. It notes the signal, then ends the main thread's
// blocking calls until the files are cut and closed, or, after a close, a
// logoff or a shutdown, until shortly before Windows ends the process.
BOOL WINAPI console_handler(DWORD type) {
  int signo = type == CTRL_C_EVENT ? SIGINT : SIGTERM;
  if (handlers[signo] == nullptr || ignored[signo]) return FALSE;
  const auto until = std::chrono::steady_clock::now() + kHoldAtClose;
  handlers[signo](signo, urgency::deferred);
  SetEvent(noted);
  while (WaitForSingleObject(closed, 10) == WAIT_TIMEOUT) {
    if (type != CTRL_C_EVENT && std::chrono::steady_clock::now() >= until) break;
    end_main_call();
  }
  return TRUE;
}

}  // namespace

// One signal at a time reaches the handlers on the main thread; a console
// event runs on its own thread and only notes itself, so nothing needs
// holding off. A console read is not restarted after Ctrl+C: it returns.
// The console's handler is put last, so that it runs before the C library's.
void on_signal(int signo, handler h, bool keep_ignored) {
  handlers[signo] = h;
  auto old = signal(signo, dispatch);
  if (keep_ignored && old == SIG_IGN) {
    signal(signo, SIG_IGN);
    ignored[signo] = true;
  }
  if (signo == SIGINT || signo == SIGTERM) {
    SetConsoleCtrlHandler(console_handler, FALSE);
    SetConsoleCtrlHandler(console_handler, TRUE);
  }
}

bool console_event(unsigned long type) { return console_handler(type) != FALSE; }

void let_signals_in() {}

void end_begins() { set_guarded(end_begun, true); }

void files_closed() { SetEvent(closed); }

// A handler on the main thread finds it in no call: nothing it interrupted
// waits.
bool stalled(int) { return false; }

// Windows has no such signals: a write to a closed pipe or a full disk fails
// with the system's error.
void ignore_write_signals() {}

void hold_end_signals() {
  signal(SIGINT, SIG_IGN);
  signal(SIGTERM, SIG_IGN);
}

// A console read is ended by Ctrl+C itself, a write blocked on a pipe by
// the console's handler, and a file never waits: those return at once. Input
// from a pipe is waited for here, a little at a time, so that a noted signal
// ends the wait; the event latches a signal noted just before it.
bool wait(int fd, bool out, int ms, bool (*is_noted)()) {
  if (fd < 0) {
    if (!is_noted()) WaitForSingleObject(noted, ms < 0 ? INFINITE : static_cast<DWORD>(ms));
    return !is_noted();
  }
  HANDLE h = handle_of(fd);
  if (out || GetFileType(h) != FILE_TYPE_PIPE) return !is_noted();
  while (!is_noted()) {
    DWORD avail = 0;
    // Input, or the pipe's end, which the read then meets.
    if (!PeekNamedPipe(h, nullptr, 0, nullptr, &avail, nullptr) || avail > 0) return true;
    WaitForSingleObject(noted, 50);
  }
  return false;
}

// Ctrl+C ends a console read at once (it fails as aborted), often before the
// handler's thread has noted the signal: the handler says when it has. A
// read that ended otherwise, at the input's end, waits for nothing.
void settle_input_end(int fd) {
  if (is_console(fd) && GetLastError() == ERROR_OPERATION_ABORTED) WaitForSingleObject(noted, 5000);
}

void write_error(const char* s, size_t n) {
  size_t done = 0;
  write(
      2, s, n, &done, +[] { return true; });
}

// Holds are LockFileEx's exclusive lock over every byte the file may have,
// taken on a handle of its own to the file's object, so that it outlives
// the unit's descriptor; the unit writes through that same object, which
// the lock lets through. Windows ends it with the process whatever ends it,
// and does not say which process holds a lock.
held hold_file(int fd, intptr_t* id, long* holder) {
  if (!is_regular(fd)) return held::none;
  HANDLE self = GetCurrentProcess(), own = nullptr;
  if (!DuplicateHandle(self, handle_of(fd), self, &own, 0, FALSE, DUPLICATE_SAME_ACCESS))
    return held::none;
  OVERLAPPED from{};
  if (LockFileEx(own, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                 &from)) {
    *id = reinterpret_cast<intptr_t>(own);
    return held::taken;
  }
  DWORD e = GetLastError();
  CloseHandle(own);
  *holder = 0;
  return e == ERROR_LOCK_VIOLATION || e == ERROR_SHARING_VIOLATION ? held::refused : held::none;
}

void release(intptr_t id) {
  auto own = reinterpret_cast<HANDLE>(id);
  OVERLAPPED from{};
  UnlockFileEx(own, 0, MAXDWORD, MAXDWORD, &from);
  CloseHandle(own);
}

FILE* open_uncut(const char* name, const char* mode) {
  int how = _O_WRONLY | _O_CREAT | (strchr(mode, 'b') != nullptr ? _O_BINARY : _O_TEXT);
  int fd = _open(name, how, _S_IREAD | _S_IWRITE);
  FILE* f = fd >= 0 ? _fdopen(fd, mode) : nullptr;
  if (f == nullptr && fd >= 0) {
    int e = errno;
    _close(fd);
    errno = e;
  }
  return f;
}

// A console of its own is one that no other process shares: the one made
// for a run started by a double click, whose window closes when it ends.
void keep_window() {
  DWORD ids[2];
  if (!is_console(0) || GetConsoleProcessList(ids, 2) != 1) return;
  static const char kText[] = "Press Enter to close this window.\n";
  write_error(kText, sizeof kText - 1);
  char c = 0;
  DWORD n = 0;
  while (ReadFile(handle_of(0), &c, 1, &n, nullptr) && n == 1 && c != '\n') {
  }
}

}  // namespace rio::sys

namespace rio {

const bool kWindows = true;

}  // namespace rio
