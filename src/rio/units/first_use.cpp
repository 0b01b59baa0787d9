// Connecting a unit on its first use.
#include <cstdio>

#include "internal.h"

namespace rio {

// Connects an unconnected unit on first use, to the file "fort.<unit>".
int32_t fk_open(int32_t seq, int32_t fmt, int32_t unit) {
  char name[24];
  int n = snprintf(name, sizeof name, "fort.%ld", static_cast<long>(unit));
  olist a{1,
          unit,
          name,
          n,
          nullptr,
          seq == FK_SEQUENTIAL ? "s" : "d",
          fmt == FK_FORMATTED ? "f" : "u",
          seq == FK_DIRECT ? 1 : 0,
          nullptr};
  int32_t save = f__init;
  f__init &= ~kInStatement;
  int32_t rc = f_open(&a);
  f__init = save | kInitialised;
  return rc;
}

}  // namespace rio
