// List-directed output: the run-time chooses the text of each item.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "internal.h"
#include "list/lio.h"

namespace rio {

namespace {

inline void put(int c) { (*f__putn)(c); }

void l_put(const char* s) {
  while (*s) put(*s++);
}

// Ends the current record, unless it is empty.
void donewrec() {
  if (f__recpos != 0) (*f__donewrec)();
}

template <typename T>
T load(const char* p) {
  T v;
  memcpy(&v, p, sizeof v);
  return v;
}

void lwrt_L(int32_t v) {
  if (f__recpos + 1 >= L_len) donewrec();
  put(' ');
  put(v ? 'T' : 'F');
}

void lwrt_C(double re, double im) {
  char b[2][40];
  int n = l_g(b[0], re) + l_g(b[1], im);
  if (f__recpos + n + 3 >= L_len) donewrec();
  l_put(" (");
  l_put(b[0] + 2 - (b[0][1] == '-'));
  put(',');
  l_put(b[1] + 2 - (b[1][1] == '-'));
  put(')');
}

}  // namespace

// Returns the digits of |value| in base, right-aligned in a static buffer.
char* f__icvt(int64_t value, int* ndigit, int* sign, int base) {
  static char buf[24];
  uint64_t u;
  if (value < 0) {
    *sign = 1;
    u = 0 - static_cast<uint64_t>(value);
  } else {
    *sign = 0;
    u = static_cast<uint64_t>(value);
  }
  char* p = buf + sizeof buf - 1;
  *p = 0;
  int i = 0;
  do {
    *--p = static_cast<char>('0' + u % static_cast<unsigned>(base));
    u /= static_cast<unsigned>(base);
    ++i;
  } while (u != 0);
  *ndigit = i;
  return p;
}

// Writes an integer: a blank, a minus sign when negative, the digits.
void lwrt_I(int64_t n) {
  int ndigit, sign;
  char* p = f__icvt(n, &ndigit, &sign, 10);
  if (f__recpos + ndigit >= L_len) donewrec();
  put(' ');
  if (sign) put('-');
  l_put(p);
}

// Formats a double as a blank, a sign position and nine significant digits
// with the decimal point always shown; returns the length of the text.
int l_g(char* buf, double n) {
  char* b = buf;
  *b++ = ' ';
  if (n < 0) {
    *b++ = '-';
    n = -n;
  } else {
    *b++ = ' ';
  }
  if (n == 0) {
    memcpy(b, "0.", 3);
    return 4;
  }
  snprintf(b, 32, "%.9G", n);
  const char* first = b + (*b == '-');
  if (*first != 'N' && *first != 'I' && *first != 'n' && *first != 'i') {
    for (;; ++b) {
      if (*b == '.') break;
      if (*b == 'E') {
        memmove(b + 1, b, strlen(b) + 1);
        *b = '.';
        break;
      }
      if (*b == 0) {
        b[0] = '.';
        b[1] = 0;
        break;
      }
    }
  }
  return static_cast<int>(strlen(buf));
}

// Writes a double as l_g formats it.
void lwrt_F(double n) {
  char buf[48];
  int len;
  {
    io_guard g;  // the conversion is the stream library's
    len = l_g(buf, n);
  }
  if (f__recpos + len >= L_len) donewrec();
  l_put(buf);
}

// Writes text as stored; a text that starts a record gets one blank first.
void lwrt_A(const char* p, int32_t len) {
  if (f__recpos + len >= L_len) donewrec();
  if (f__recpos == 0) put(' ');
  for (int32_t i = 0; i < len; ++i) put(p[i]);
}

// Writes count items of one type, each len bytes after the last.
int l_write(const int32_t* number, const char* ptr, int32_t len, int32_t type) {
  for (int32_t i = 0; i < *number; ++i, ptr += len) {
    switch (type) {
      case TYINT1:
        lwrt_I(load<int8_t>(ptr));
        break;
      case TYINT2:
        lwrt_I(load<int16_t>(ptr));
        break;
      case TYINT:
        lwrt_I(load<int32_t>(ptr));
        break;
      case TYINT8:
        lwrt_I(load<int64_t>(ptr));
        break;
      case TYREAL:
        lwrt_F(load<float>(ptr));
        break;
      case TYDREAL:
        lwrt_F(load<double>(ptr));
        break;
      case TYCOMPLEX:
        lwrt_C(load<float>(ptr), load<float>(ptr + 4));
        break;
      case TYDCOMPLEX:
        lwrt_C(load<double>(ptr), load<double>(ptr + 8));
        break;
      case TYLOGICAL:
        lwrt_L(load<int32_t>(ptr));
        break;
      case TYLOGICAL2:
        lwrt_L(load<int16_t>(ptr));
        break;
      case TYLOGICAL1:
        lwrt_L(load<int8_t>(ptr));
        break;
      case TYCHAR:
        lwrt_A(ptr, len);
        break;
      default:
        f__fatal(204, "unknown type in lio");
    }
  }
  return 0;
}

// Starts a list-directed write on the unit of a.
int32_t s_wsle(const cilist* a) {
  if (int32_t n = c_le(a)) return n;
  f__reading = 0;
  f__external = 1;
  f__formatted = 1;
  f__putn = x_putc;
  f__lioproc = l_write;
  L_len = 80;
  f__donewrec = x_wSL;
  if (f__curunit->written != 1 && f__nowwriting(f__curunit))
    return f__error(a->err, errno, "list output start");
  return 0;
}

// Ends a list-directed write: the record and a line feed go to the stream.
int32_t e_wsle() {
  f__init = kInitialised;
  int32_t n = f__putbuf('\n');
  f__recpos = 0;
  return n;
}

}  // namespace rio
