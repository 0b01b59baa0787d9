// The end of the run: the close of every unit.
#include <cerrno>
#include <cstdlib>

#include "internal.h"
#include "platform/sys.h"

namespace rio {

// Closes units 0 to 99 in order, cutting each written file at its position.
// The standard units stay connected: what they hold is written, and a record
// handed to any unit after this reaches the system at once, so that nothing
// written later is left in a buffer. Runs once; a later call does nothing. At
// a normal end, a failure to write what was buffered (standard output
// included) or to cut a file ends the run with a report, and a signal that
// came during the closes ends it as that signal does.
void f_exit() {
  static bool ran;
  if ((f__init & kInitialised) == 0) return;
  f__init &= ~kInStatement;
  if (ran) return;
  ran = true;
  io_guard g;  // a signal waits for the closes
  sys::end_begins();
  f__closed = true;
  cllist xx{1, 0, nullptr};
  int32_t bad = 0, badunit = 0;
  const char* badctx = nullptr;
  origin badfrom = origin::runtime;
  for (int32_t i = 0; i < MXUNIT; ++i) {
    xx.unit = i;
    unitrec* b = &f__units[i];
    int32_t rc = 0;
    if (b->stream != nullptr && b->name == nullptr) {
      if (int e = unitbuf_flush(b)) rc = f__ioerr(1, e, "write");
      unitbuf_start(b, false, -1);
    } else {
      rc = f_clos(&xx);
    }
    if (rc != 0 && bad == 0) {
      bad = rc;
      badunit = i;
      badctx = f__errctx;
      badfrom = f__errfrom;
    }
  }
  hold_files(false);
  sys::files_closed();
  if (f__dying) return;
  // Nothing may interrupt the process's own end after this point.
  if (f__exiting) sys::hold_end_signals();
  // A write cut short by a signal ends as that signal does.
  if (f__sigpend != 0) f__sigact();
  if (bad != 0) {
    f__curunit = &f__units[badunit];
    f__fatal(bad, badctx, badfrom);
  }
}

}  // namespace rio
