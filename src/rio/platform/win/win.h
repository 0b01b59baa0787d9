// What the Windows side's files share: a descriptor's handle, the console
// test, the event by which the console's handler tells the main thread of a
// signal, and the mark of a write that waits for a pipe's reader.
#pragma once

#include <io.h>
#include <windows.h>

namespace rio::sys {

inline HANDLE handle_of(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

inline bool is_console(int fd) {
  DWORD mode = 0;
  return _isatty(fd) != 0 && GetConsoleMode(handle_of(fd), &mode) != 0;
}

// Set each time a handler on another thread has noted its signal.
extern const HANDLE noted;

// Tells the console's handler whether the main thread is in a write to a
// pipe, which waits for its reader.
void mark_pipe_write(bool on);

}  // namespace rio::sys
