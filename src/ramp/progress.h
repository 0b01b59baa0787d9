// A progress line on standard error for a run long enough to need one.
#pragma once

#include <chrono>
#include <cstdint>

namespace ramp {

class progress {
 public:
  // With shown false (standard error is no terminal) it never writes.
  explicit progress(bool shown);
  // Shows how far the phase what has come (done of total; no figure when
  // total is 0), once the run has taken a second.
  void show(const char* what, int64_t done, int64_t total);
  // Erases the line, if one is shown.
  void clear();

 private:
  bool shown_;
  bool started_ = false;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace ramp
