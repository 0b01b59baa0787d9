// Start-up: the process entry that runs the main program.
#include <cstdlib>

#include "internal.h"
#include "platform/sys.h"

namespace {

void exit_hook() {
  rio::f__exiting = 1;
  rio::f_exit();
}

}  // namespace

int main(int argc, char** argv) {
  // A closed standard descriptor would be taken by the first file opened, and
  // records meant for the console would land in it.
  rio::sys::hold_std_descriptors();
  // Standard output on a pipe or a terminal: a write that cannot go on waits
  // where a signal can end it.
  bool waits = rio::sys::own_description(1);
  {
    // The handlers' first work waits for the end of start-up: a handler that
    // ended the run from inside atexit or the stream library would wait for
    // the lock that the interrupted call holds. A signal that comes meanwhile
    // ends the run as soon as start-up is done.
    rio::io_guard g;
    rio::f_setarg(argc, argv);
    rio::f_setsig();
    rio::sys::ignore_write_signals();
    rio::f_init();
    rio::f__units[6].out.pieces = waits;
    atexit(exit_hook);
  }
  MAIN__();
  rio::s_stop("", 0);
}
