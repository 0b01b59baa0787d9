// The field writers of formatted output: F and E fields and literals.
#include <charconv>
#include <cmath>
#include <cstring>

#include "fmt.h"

namespace rio {

namespace {

inline void put(int c) { (*f__putn)(c); }

void put_n(const char* s, int32_t n) {
  for (int32_t i = 0; i < n; ++i) put(s[i]);
}

void put_rep(int c, int32_t n) {
  for (int32_t i = 0; i < n; ++i) put(c);
}

double load(const char* ptr, int32_t len) {
  if (len == 4) {
    float f;
    memcpy(&f, ptr, sizeof f);
    return f;
  }
  double x;
  memcpy(&x, ptr, sizeof x);
  return x;
}

// Digits after the point beyond which F writes zeros, and significant digits
// beyond which E writes zeros.
constexpr int32_t kFMaxDigits = 344;
constexpr int32_t kEMaxDigits = 40;

}  // namespace

// Writes x in an Fw.d field: right-aligned, rounded to d digits after the
// point; a value that rounds to zero has no sign; a value too wide is a field
// of w asterisks, save that a leading "0" is dropped to make it fit.
int wrt_F(const char* ptr, int32_t w, int32_t d, int32_t len) {
  double x = load(ptr, len);
  int32_t extra = 0;
  if (d >= kFMaxDigits) {
    extra = d - kFMaxDigits;
    d = kFMaxDigits;
  }
  bool sign = false;
  if (x < 0) {
    x = -x;
    sign = true;
  } else if (x == 0) {
    x = 0;  // a negative zero is written as a positive one
  }
  char buf[720];
  char* end = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, d).ptr;
  if (d == 0 && std::isfinite(x)) *end++ = '.';
  int32_t tlen = static_cast<int32_t>(end - buf);
  if (sign) {
    bool zero = true;
    for (const char* s = buf; s < end; ++s)
      if (*s != '0' && *s != '.') zero = false;
    if (zero) sign = false;
  }
  const char* text = buf;
  int64_t n = static_cast<int64_t>(tlen) + extra + (sign || f__cplus ? 1 : 0);
  if (n > w) {
    if (buf[0] == '0' && n - 1 == w) {
      ++text;
      --tlen;
      --n;
    } else {
      put_rep('*', w);
      return 0;
    }
  }
  put_rep(' ', static_cast<int32_t>(w - n));
  if (sign)
    put('-');
  else if (f__cplus)
    put('+');
  put_n(text, tlen);
  put_rep('0', extra);
  return 0;
}

// Writes x in an Ew.d field as 0.ddd times ten to a signed exponent of two
// digits (e of them when e > 0); three digits take the place of the "E".
// The "0" before the point is written when there is room for it.
int wrt_E(const char* ptr, int32_t w, int32_t d, int32_t e, int32_t len) {
  double x = load(ptr, len);
  bool sign = false;
  if (x < 0) {
    x = -x;
    sign = true;
  } else if (x == 0) {
    x = 0;
  }
  int32_t ew = e > 0 ? e : 2;
  int64_t room = static_cast<int64_t>(w) - (static_cast<int64_t>(d) + 3 + ew) - (sign ? 1 : 0);
  if (!std::isfinite(x)) {
    // Non-finite values: the conversion's text, right-aligned.
    const char* t = std::isinf(x) ? "INF" : "NAN";
    sign = std::signbit(x) || sign;
    int32_t n = 3 + (sign ? 1 : 0);
    if (n > w) {
      put_rep('*', w);
      return 0;
    }
    put_rep(' ', w - n);
    if (sign) put('-');
    put_n(t, 3);
    return 0;
  }
  if (room < 0) {
    put_rep('*', w);
    return 0;
  }
  int32_t prec = d > 0 ? d - 1 : 0;
  int32_t extra = 0;
  if (prec > kEMaxDigits) {
    extra = prec - kEMaxDigits;
    prec = kEMaxDigits;
  }
  char buf[64];
  char* end = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, prec).ptr;
  *end = 0;
  // buf holds "D.DDDe+XX", or "De+XX" without digits after the point.
  char* epos = static_cast<char*>(memchr(buf, 'e', static_cast<size_t>(end - buf)));
  int exp10 = 0;
  for (const char* s = epos + 2; *s; ++s) exp10 = exp10 * 10 + (*s - '0');
  if (epos[1] == '-') exp10 = -exp10;
  exp10 = x == 0 ? 0 : exp10 + 1;

  // The exponent part: "E", its sign and ew digits, or the sign and three
  // digits in place of the "E" when two are not enough.
  int32_t mag = exp10 < 0 ? -exp10 : exp10;
  bool drop_e = e == 0 && mag >= 100;
  int32_t ndig = drop_e ? 3 : ew;
  if (ndig < 3 && mag >= (ndig == 1 ? 10 : 100)) {
    put_rep('*', w);
    return 0;
  }
  bool zero = room > 0;
  put_rep(' ', static_cast<int32_t>(room - (zero ? 1 : 0)));
  if (sign) put('-');
  if (zero) put('0');
  put('.');
  if (d > 0) {
    put(buf[0]);
    if (epos > buf + 1) put_n(buf + 2, static_cast<int32_t>(epos - buf - 2));
    put_rep('0', extra);
  }
  if (!drop_e) put('E');
  put(exp10 < 0 ? '-' : '+');
  char digits[3] = {static_cast<char>('0' + mag / 100), static_cast<char>('0' + mag / 10 % 10),
                    static_cast<char>('0' + mag % 10)};
  if (ndig > 3) put_rep('0', ndig - 3);
  put_n(digits + 3 - (ndig < 3 ? ndig : 3), ndig < 3 ? ndig : 3);
  return 0;
}

// Writes the literal whose opening delimiter is at s; a doubled delimiter
// stands for one.
int wrt_AP(const char* s) {
  char quote = *s++;
  for (; *s; ++s) {
    if (*s == quote) {
      if (s[1] != quote) break;
      ++s;
    }
    put(*s);
  }
  return 0;
}

}  // namespace rio
