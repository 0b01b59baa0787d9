// The wait status macros for tests built for Windows. The spawning helper
// stores a process's exit code as waitpid does, and an exit with code 3 (how
// the C library's abort ends a process) as an end by SIGABRT.
#pragma once

#define WIFEXITED(s) (((s)&0x7f) == 0)
#define WEXITSTATUS(s) (((s) >> 8) & 0xff)
#define WIFSIGNALED(s) (((s)&0x7f) != 0)
#define WTERMSIG(s) ((s)&0x7f)
