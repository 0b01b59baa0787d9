// Waits and whole writes on Windows.
//
// Records: the run-time hands each unit's records to write() on the stream's
// descriptor, and a Windows text file stores each line feed as a carriage
// return and a line feed. write() makes that translation itself and hands
// the bytes to WriteFile on the descriptor's handle, so that it knows which
// characters reached the file when a write is cut short.
#include <windows.h>

#include <cerrno>

#include "platform/sys.h"
#include "platform/win/win.h"

namespace rio::sys {

namespace {

// Marks the main thread's write to a pipe, which waits for its reader.
struct pipe_write {
  explicit pipe_write(HANDLE h) : on_(GetFileType(h) == FILE_TYPE_PIPE) {
    if (on_) mark_pipe_write(true);
  }
  ~pipe_write() {
    if (on_) mark_pipe_write(false);
  }
  pipe_write(const pipe_write&) = delete;
  pipe_write& operator=(const pipe_write&) = delete;

 private:
  bool on_;
};

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

// Stores each line feed as CR LF, a chunk at a time. When the system takes
// only part of a chunk, *done counts the characters whose stored bytes all
// reached the file; a carriage return that went without its line feed is
// taken back, so that the file ends where those characters end. A write
// blocked on a pipe is ended by the console's handler (CancelSynchronousIo)
// once it has noted a signal; a cancel without a noted signal, late for a
// wait that has ended, is not a failure.
int write(int fd, const char* p, size_t n, size_t* done, bool (*is_noted)(), int) {
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

}  // namespace rio::sys
