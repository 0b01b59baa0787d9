// Start-up: the process entry that runs the main program.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "internal.h"

namespace {

// A closed standard descriptor would be taken by the first file opened, and
// records meant for the console would land in it. Each closed one is held by
// a descriptor that refuses writes, so that they fail and are reported.
void hold_std_descriptors() {
  for (int fd = 0; fd <= 2; ++fd)
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) open("/dev/null", O_RDONLY);
}

void exit_hook() {
  rio::f__exiting = 1;
  rio::f_exit();
}

}  // namespace

int main(int argc, char** argv) {
  hold_std_descriptors();
  rio::f_setarg(argc, argv);
  rio::f_setsig();
  // A broken pipe on standard output is reported like any failed write.
  signal(SIGPIPE, SIG_IGN);
  rio::f_init();
  atexit(exit_hook);
  MAIN__();
  rio::s_stop("", 0);
}
