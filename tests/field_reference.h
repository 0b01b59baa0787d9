// F fields built from the stream library's "%#.*f" text by the field rules:
// the reference that the writer's own digits are checked against.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>

namespace testing_support {

inline std::string f_field_reference(double x, int w, int d) {
  bool sign = x < 0;
  char buf[512];
  std::snprintf(buf, sizeof buf, "%#.*f", d, std::fabs(x));
  std::string text = buf;
  if (text.find_first_not_of("0.") == std::string::npos) sign = false;
  int n = static_cast<int>(text.size()) + (sign ? 1 : 0);
  if (n > w) {
    if (text[0] != '0' || n - 1 != w) return std::string(static_cast<size_t>(w), '*');
    text.erase(0, 1);
    --n;
  }
  return std::string(static_cast<size_t>(w - n), ' ') + (sign ? "-" : "") + text;
}

}  // namespace testing_support
