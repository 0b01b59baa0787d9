// Turning a unit between reading and writing by reopening its file.
#include <cerrno>

#include "internal.h"

namespace rio {

// Turns unit x to writing; returns 1 with 127 in errno when it cannot be.
int32_t f__nowwriting(unitrec* x) {
  io_guard g;
  if ((x->rwmode & 2) == 0) {
    if (x->name == nullptr) {
      errno = 127;
      return 1;
    }
    long loc = ftell(x->stream);
    int fmt = x->recl ? 0 : x->formatted;
    FILE* f = freopen(x->name, f__w_mode[fmt + 2], x->stream);
    x->stream = f__cf = f;
    if (f == nullptr) {
      errno = 127;
      return 1;
    }
    f__bigbuf(x);
    x->rwmode = 3;
    if (loc > 0) fseek(f, loc, SEEK_SET);
  }
  x->written = 1;
  return 0;
}

// Turns unit x to reading; returns 1 with 126 in errno when it cannot be.
int32_t f__nowreading(unitrec* x) {
  io_guard g;
  if ((x->rwmode & 1) == 0) {
    if (x->name == nullptr) {
      errno = 126;
      return 1;
    }
    long loc = ftell(x->stream);
    int fmt = x->recl ? 0 : x->formatted;
    FILE* f = freopen(x->name, f__w_mode[fmt + 2], x->stream);
    if (f != nullptr) {
      x->rwmode = 3;
    } else if ((f = fopen(x->name, f__r_mode[fmt])) != nullptr) {
      x->rwmode = 1;
    }
    x->stream = f__cf = f;
    if (f == nullptr) {
      errno = 126;
      return 1;
    }
    if (loc > 0) fseek(f, loc, SEEK_SET);
  }
  x->written = 0;
  return 0;
}

}  // namespace rio
