// The wait status macros for tests built for Windows. The spawning helper
// stores a process's exit code as waitpid does, and an exit with code 3 (how
// the C library's abort ends a process) as an end by SIGABRT.
#pragma once

#define WIFEXITED(s) (((s)&0x7f) == 0)
#define WEXITSTATUS(s) (((s) >> 8) & 0xff)
#define WIFSIGNALED(s) (((s)&0x7f) != 0)
#define WTERMSIG(s) ((s)&0x7f)

// The POSIX names that the tests skipped on Windows still mention, so that
// they compile there: signals that Windows never delivers, and calls that
// report failure.
#include <sys/types.h>

#include <cerrno>
#define SIGHUP 1
#define SIGQUIT 3
#define SIGKILL 9
#define SIGALRM 14
inline int geteuid() { return -1; }
inline int mkfifo(const char*, int) {
  errno = ENOSYS;
  return -1;
}
#define O_NONBLOCK 0
#define F_GETFL 3
inline int fcntl(int, int) {
  errno = ENOSYS;
  return -1;
}
