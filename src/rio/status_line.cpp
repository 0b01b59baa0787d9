// The status line: one line of progress on standard error, on a terminal
// only, rewritten in place and erased before any report or signal text.
#include <algorithm>
#include <cstring>

#include "internal.h"
#include "platform/sys.h"

namespace rio {

namespace {

// How many characters the shown line holds; 0 when none is shown.
std::atomic<size_t> shown_len;

// Blanks over the n characters of the shown line, back at its start.
void blank_out(size_t n) {
  static const char blanks[] = "                                                                ";
  sys::write_error("\r", 1);
  for (; n > 0; n -= std::min(n, sizeof blanks - 1))
    sys::write_error(blanks, std::min(n, sizeof blanks - 1));
  sys::write_error("\r", 1);
}

}  // namespace

bool status_shown() { return sys::is_terminal(2); }

void status_line(const char* text) {
  io_guard g;
  size_t n = strlen(text), old = shown_len.exchange(0);
  if (old > n || n == 0) blank_out(old);
  if (n == 0) return;
  sys::write_error("\r", 1);
  sys::write_error(text, n);
  shown_len = n;
}

void f__unstatus() {
  if (size_t old = shown_len.exchange(0)) blank_out(old);
}

}  // namespace rio
