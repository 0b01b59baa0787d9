// The field writers of formatted output: F and E fields and literals.
#include <charconv>
#include <cmath>
#include <cstring>

#include "fmt.h"

namespace rio {

namespace {

// Formatted output always stores through x_putc, which every formatted start
// installs in f__putn; a writer that knows its field's length makes room once
// and then stores one character at a time.
char* put_n(char* p, const char* s, int32_t n) {
  for (int32_t i = 0; i < n; ++i) *p++ = s[i];
  return p;
}

char* put_rep(char* p, char c, int64_t n) {
  for (int64_t i = 0; i < n; ++i) *p++ = c;
  return p;
}

int asterisks(int32_t w) {
  x_done(put_rep(x_room(w), '*', w));
  return 0;
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
    if (buf[0] != '0' || n - 1 != w) return asterisks(w);
    ++text;
    --tlen;
    --n;
  }
  char* p = put_rep(x_room(w), ' ', w - n);
  if (sign)
    *p++ = '-';
  else if (f__cplus)
    *p++ = '+';
  p = put_n(p, text, tlen);
  x_done(put_rep(p, '0', extra));
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
    if (n > w) return asterisks(w);
    char* p = put_rep(x_room(w), ' ', w - n);
    if (sign) *p++ = '-';
    x_done(put_n(p, t, 3));
    return 0;
  }
  if (room < 0) return asterisks(w);
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
  if (ndig < 3 && mag >= (ndig == 1 ? 10 : 100)) return asterisks(w);
  bool zero = room > 0;
  char* p = put_rep(x_room(w), ' ', room - (zero ? 1 : 0));
  if (sign) *p++ = '-';
  if (zero) *p++ = '0';
  *p++ = '.';
  if (d > 0) {
    *p++ = buf[0];
    if (epos > buf + 1) p = put_n(p, buf + 2, static_cast<int32_t>(epos - buf - 2));
    p = put_rep(p, '0', extra);
  }
  if (!drop_e) *p++ = 'E';
  *p++ = exp10 < 0 ? '-' : '+';
  const char digits[3] = {static_cast<char>('0' + mag / 100),
                          static_cast<char>('0' + mag / 10 % 10),
                          static_cast<char>('0' + mag % 10)};
  p = put_rep(p, '0', ndig - 3);
  x_done(put_n(p, digits + 3 - (ndig < 3 ? ndig : 3), ndig < 3 ? ndig : 3));
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
    x_putc(*s);
  }
  return 0;
}

}  // namespace rio
