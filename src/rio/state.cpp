// Definitions of the run-time's global state that more than one layer uses,
// zero at start, grouped as in internal.h and list/lio.h. A layer's own state
// lives beside the code that uses it:
// - format/parse.cpp: the parsed format (f__syl, f__pc, f__parenlvl, f__revloc);
// - format/plan.cpp: its plan (f__plan, f__planlen, f__step, f__fmtref);
// - format/interpreter.cpp: the general interpreter's stacks (f__cnt, f__ret,
//   f__cp, f__rp) and f__workdone;
// - units/open.cpp: the stream modes (f__r_mode, f__w_mode);
// - units/unit_buffer.cpp: f__closed, set by the end-of-run close;
// - run/fatal.cpp: the error texts (F_err), f__errctx and f__reported.
#include "internal.h"
#include "list/lio.h"

namespace rio {

unitrec f__units[MXUNIT];
int32_t f__init;
unitrec* f__curunit;
FILE* f__cf;
int32_t f__external, f__reading, f__sequential, f__formatted;
const char* f__fmtbuf;
int32_t f__fmtlen;
const cilist* f__elist;
int32_t f__cplus, f__nonl;

char f__buf0[kBuf0Len];
char* f__buf = f__buf0;
int32_t f__buflen = kBuf0Len;
int32_t f__recpos, f__hiwater;

void (*f__putn)(int);
int (*f__donewrec)();
int (*f__doend)();
int (*f__lioproc)(const int32_t*, const char*, int32_t, int32_t);
int (*f__doed)(const syl*, const char*, int32_t);
int (*f__doned)(const syl*);
int (*f__dorevert)();

int32_t f__scale, f__cblank, f__cursor;
int f__xargc;
char** f__xargv;

int32_t L_len;
int32_t f__Aquote, f__lquit, f__lcount, l_eof;
int (*l_getc)();
int (*l_ungetc)(int, FILE*);

sigflag f__busy, f__sigpend, f__dying, f__exiting;
sigflag f__waitfd{-1};

}  // namespace rio
