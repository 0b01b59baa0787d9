// The standard descriptors on Windows: consoles, handles the process was
// started without, and what a handler asks of them and writes to them.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "platform/sys.h"
#include "platform/win/win.h"

namespace rio::sys {

bool is_terminal(int fd) { return is_console(fd); }

// A write blocked on a pipe is ended by the console's handler instead.
bool own_description(int) { return false; }

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

// Ctrl+C ends a console read at once (it fails as aborted), often before the
// handler's thread has noted the signal: the handler says when it has. A
// read that ended otherwise, at the input's end, waits for nothing.
void settle_input_end(int fd) {
  if (is_console(fd) && GetLastError() == ERROR_OPERATION_ABORTED) WaitForSingleObject(noted, 5000);
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

void write_error(const char* s, size_t n) {
  size_t done = 0;
  write(
      2, s, n, &done, +[] { return true; });
}

// A handler on the main thread finds it in no call: nothing it interrupted
// waits.
bool stalled(int) { return false; }

}  // namespace rio::sys
