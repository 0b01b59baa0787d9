// The progress line: written only to a terminal, and only once a run has
// gone on for a second, so that short runs and redirected runs never see it.
#include "progress.h"

#include <cstdio>

#include "rio.h"

namespace ramp {

progress::progress(bool shown) : shown_(shown), start_(std::chrono::steady_clock::now()) {}

void progress::show(const char* what, int64_t done, int64_t total) {
  if (!shown_) return;
  if (!started_) {
    if (std::chrono::steady_clock::now() - start_ < std::chrono::seconds(1)) return;
    started_ = true;
  }
  char text[80];
  if (total > 0)
    std::snprintf(text, sizeof text, "Ramp-SlipV: %s %3d%%", what,
                  static_cast<int>(done * 100 / total));
  else
    std::snprintf(text, sizeof text, "Ramp-SlipV: %s", what);
  rio::status_line(text);
}

void progress::clear() {
  if (started_) rio::status_line("");
}

}  // namespace ramp
