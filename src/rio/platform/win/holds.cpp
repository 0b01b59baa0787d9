// Holds on Windows: a file held against other runs that write it.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/sys.h"
#include "platform/win/win.h"

namespace rio::sys {

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

}  // namespace rio::sys
