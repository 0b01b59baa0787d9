// Holding the files that units write against other runs, so that two runs
// never write one file at once.
#include "internal.h"
#include "platform/sys.h"

namespace rio {

long f__holder;

namespace {

// hold_files(true): holds last past their units' closes, in kept.
bool keeping;
intptr_t kept[MXUNIT];
int nkept;

}  // namespace

int32_t f__hold(unitrec* x) {
  assert_signals_held();
  if (x->holds || x->name == nullptr) return 0;
  intptr_t id = -1;
  f__holder = 0;
  switch (sys::hold_file(sys::fd_of(x->stream), &id, &f__holder)) {
    case sys::held::taken:
      x->holds = true;
      x->hold_id = id;
      return 0;
    case sys::held::refused:
      return kHeld;
    case sys::held::none:
      break;
  }
  return 0;
}

void f__unhold(unitrec* x, bool at_close) {
  if (!x->holds) return;
  x->holds = false;
  if (at_close && keeping && nkept < MXUNIT)
    kept[nkept++] = x->hold_id;
  else
    sys::release(x->hold_id);
}

void hold_files(bool keep) {
  io_guard g;
  keeping = keep;
  if (!keep)
    while (nkept > 0) sys::release(kept[--nkept]);
}

}  // namespace rio
