// The status line: one line of progress on standard error, on a terminal
// only, rewritten in place, erased before any report or signal text, and
// before records reach a terminal, where it is drawn again after them.
#include <algorithm>
#include <cstring>

#include "internal.h"
#include "platform/sys.h"

namespace rio {

namespace {

// How many characters the shown line holds; 0 when none is shown.
std::atomic<size_t> shown_len;
// The line's text, kept while it gives way to records.
char kept[128];
size_t kept_len;

// Blanks over the n characters of the shown line, back at its start.
void blank_out(size_t n) {
  static const char blanks[] = "                                                                ";
  sys::write_error("\r", 1);
  for (; n > 0; n -= std::min(n, sizeof blanks - 1))
    sys::write_error(blanks, std::min(n, sizeof blanks - 1));
  sys::write_error("\r", 1);
}

// Draws the kept text.
void draw() {
  sys::write_error("\r", 1);
  sys::write_error(kept, kept_len);
  shown_len = kept_len;
}

}  // namespace

bool status_shown() { return sys::is_terminal(2); }

void status_line(const char* text) {
  io_guard g;
  size_t n = std::min(strlen(text), sizeof kept - 1), old = shown_len.exchange(0);
  if (old > n || n == 0) blank_out(old);
  std::copy_n(text, n, kept);
  kept_len = n;
  if (n > 0) draw();
}

void f__unstatus() {
  kept_len = 0;
  if (size_t old = shown_len.exchange(0)) blank_out(old);
}

bool f__status_yield(int fd) {
  if (shown_len == 0 || !sys::is_terminal(fd)) return false;
  if (size_t old = shown_len.exchange(0)) blank_out(old);
  return true;
}

void f__restatus() {
  if (kept_len > 0 && f__dying == 0) draw();
}

}  // namespace rio
