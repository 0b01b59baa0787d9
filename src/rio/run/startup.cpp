// Start-up: the arguments and the standard units.
#include "internal.h"
#include "platform/sys.h"

namespace rio {

// Records the command-line arguments for argument queries.
void f_setarg(int argc, char** argv) {
  f__xargc = argc;
  f__xargv = argv;
}

// Returns 1 when the stream is not attached to a terminal.
int32_t f__canseek(FILE* f) { return sys::is_terminal(sys::fd_of(f)) ? 0 : 1; }

// Connects units 0, 5 and 6 to standard error, input and output. Called by
// every statement start while f__init is not exactly kInitialised, which
// makes it the guard against a statement started inside another.
void f_init() {
  if (f__init & kInStatement) f__fatal(131, "I/O recursion");
  f__init = kInitialised;
  unitrec* p = &f__units[0];
  p->stream = stderr;
  p->seekable = f__canseek(stderr);
  p->formatted = 1;
  p->written = 1;
  unitbuf_start(p, false, -1);
  p = &f__units[5];
  p->stream = stdin;
  setvbuf(stdin, nullptr, _IONBF, 0);  // see t_getc
  p->seekable = f__canseek(stdin);
  p->formatted = 1;
  p->written = 0;
  p = &f__units[6];
  p->stream = stdout;
  p->seekable = f__canseek(stdout);
  p->formatted = 1;
  p->written = 1;
  unitbuf_start(p, false, -1);
}

}  // namespace rio
