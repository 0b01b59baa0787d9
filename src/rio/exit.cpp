// The end of the run: the close of every unit.
#include <cerrno>
#include <cstdlib>

#include "internal.h"
#include "sys.h"

namespace rio {

// Closes units 0 to 99 in order, cutting each written file at its position.
// Runs once; a later call does nothing. At a normal end, a failure to write
// what was buffered (standard output included) ends the run with a report.
void f_exit() {
  static bool ran;
  if ((f__init & kInitialised) == 0) return;
  f__init &= ~kInStatement;
  if (ran) return;
  ran = true;
  io_guard g;  // a signal waits for the closes
  cllist xx{1, 0, nullptr};
  int32_t bad = 0, badunit = 0;
  const char* badctx = nullptr;
  for (int32_t i = 0; i < MXUNIT; ++i) {
    xx.unit = i;
    int32_t rc = f_clos(&xx);
    if (rc != 0 && rc != 111 && bad == 0) {
      bad = rc;
      badunit = i;
      badctx = f__errctx;
    }
  }
  if (!f__dying && bad != 0) {
    // A write cut short by a signal ends as that signal does.
    if (f__sigpend != 0) f__sigact();
    f__curunit = &f__units[badunit];
    f__fatal(bad, badctx);
  }
  // Nothing may interrupt the process's own end after this point.
  if (f__exiting) sys::hold_end_signals();
}

}  // namespace rio
