// Statement helpers: one list-directed write, one formatted row of doubles,
// opening and closing a unit, each as the run-time's calls in their order.
// A program, its tests and its benchmarks write through these.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "rio.h"

namespace rio {

// One item of a list-directed statement.
inline int32_t item(std::string_view text) {
  int32_t type = TYCHAR, one = 1;
  return do_lio(&type, &one, text.data(), static_cast<int32_t>(text.size()));
}
inline int32_t item(double x) {
  int32_t type = TYDREAL, one = 1;
  return do_lio(&type, &one, &x, sizeof x);
}
inline int32_t item(int32_t n) {
  int32_t type = TYINT, one = 1;
  return do_lio(&type, &one, &n, sizeof n);
}

// One list-directed write statement on unit: start, one call per item, end.
template <typename... Items>
void say(int32_t unit, const Items&... items) {
  cilist io{0, unit, 0, nullptr, 0};
  s_wsle(&io);
  (item(items), ...);
  e_wsle();
}

// One formatted write statement of double values.
template <typename... Values>
void row(const cilist& io, Values... values) {
  int32_t one = 1;
  s_wsfe(&io);
  ((void)do_fio(&one, &values, sizeof(double)), ...);
  e_wsfe();
}

// One formatted statement whose format is text as its one literal: writes
// the text as one record, byte for byte (a list-directed record would put a
// blank in front of it).
inline void line(int32_t unit, std::string_view text) {
  std::string format = "(\x02";
  for (char c : text) {
    format += c;
    if (c == '\x02') format += c;  // a delimiter inside the literal is doubled
  }
  format += "\x02)";
  cilist io{0, unit, 0, format.c_str(), 0};
  s_wsfe(&io);
  e_wsfe();
}

// Connects unit to the file name with status "unknown". With err set, an
// error is returned instead of ending the run.
inline int32_t open_unit(int32_t unit, std::string_view name, int32_t err = 0) {
  olist o{err,     unit, name.data(), static_cast<int32_t>(name.size()), "unknown", nullptr,
          nullptr, 0,    nullptr};
  return f_open(&o);
}

// Disconnects unit, keeping its file.
inline int32_t close_unit(int32_t unit, int32_t err = 0) {
  cllist c{err, unit, nullptr};
  return f_clos(&c);
}

}  // namespace rio
