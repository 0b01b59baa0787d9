// The stop: the end of the run with status 0.
#include <cstdlib>

#include "internal.h"

namespace rio {

// Ends the run with status 0, after "STOP <msg> statement executed" on
// standard error when the message is not empty.
void s_stop(const char* msg, int32_t len) {
  if (len > 0) {
    io_guard g;
    fputs("STOP ", stderr);
    fwrite(msg, 1, static_cast<size_t>(len), stderr);
    fputs(" statement executed\n", stderr);
  }
  // From here on a signal waits for the end-of-process close.
  f__busy = f__busy + 1;
  exit(0);
}

}  // namespace rio
