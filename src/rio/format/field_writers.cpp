// The field writers of formatted output: F and E fields and literals.
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

#include "format/short_field.h"

namespace rio {

namespace {

// The writers know their field's length: they make room for it once
// (x_room), store its characters one at a time and say where it ends.
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

// Digits after the point beyond which F writes zeros, and significant digits
// beyond which E writes zeros.
constexpr int32_t kFMaxDigits = 344;
constexpr int32_t kEMaxDigits = 40;

// Writes the last n digits of v, leading zeros included, ending at e: two
// at a time while they fit 32 bits.
inline void digits_back(char* e, uint64_t v, int32_t n) {
  for (; n > 0 && v > UINT32_MAX; --n, v /= 10) *--e = static_cast<char>('0' + v % 10);
  uint32_t u = static_cast<uint32_t>(v);
  for (; n >= 2; n -= 2, u /= 100) {
    const char* pair = &kPairs[size_t{2} * (u % 100)];
    *--e = pair[1];
    *--e = pair[0];
  }
  if (n > 0) *--e = static_cast<char>('0' + u % 10);
}

int32_t count_digits(uint64_t v) {
  int32_t n = 1;
  while (n < 20 && v >= f__pow10[n]) ++n;
  return n;
}

// Writes the field of an F descriptor from the exactly rounded x * 10^d,
// without an intermediate text.
[[gnu::noinline]] int fixed_field(uint64_t scaled, bool sign, int32_t w, int32_t d) {
  uint64_t ip = scaled / f__pow10[d], fp = scaled - ip * f__pow10[d];
  if (scaled == 0) sign = false;
  bool plus = !sign && f__cplus;
  int32_t ilen = count_digits(ip);
  int64_t n = ilen + 1 + d + (sign || plus ? 1 : 0);
  if (n > w) {
    if (ip != 0 || n - 1 != w) return asterisks(w);
    ilen = 0;  // the leading zero goes
    --n;
  }
  char* p = put_rep(x_room(w), ' ', w - n);
  if (sign) *p++ = '-';
  if (plus) *p++ = '+';
  p += ilen;
  digits_back(p, ip, ilen);
  *p++ = '.';
  p += d;
  digits_back(p, fp, d);
  x_done(p);
  return 0;
}

// Writes the n = prec + 1 significant digits of x > 0, exactly rounded, into
// sig and returns the decimal exponent k of x = d.ddd x 10^k: by exact
// scaling (sci_scaled) up to nineteen digits, otherwise from the text of
// std::to_chars.
int32_t sci_digits(double x, int32_t prec, char* sig) {
  const int32_t n = prec + 1;
  uint64_t v;
  int32_t k;
  if (n <= 19 && sci_scaled<true>(x, n, &v, &k)) {
    digits_back(sig + n, v, n);
    return k;
  }
  char buf[64];
  char* end = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, prec).ptr;
  *end = 0;
  // buf holds "D.DDDe+XX", or "De+XX" without digits after the point.
  const char* epos = static_cast<const char*>(memchr(buf, 'e', static_cast<size_t>(end - buf)));
  sig[0] = buf[0];
  if (epos > buf + 1) put_n(sig + 1, buf + 2, static_cast<int32_t>(epos - buf - 2));
  int32_t mag = 0;
  for (const char* t = epos + 2; *t; ++t) mag = mag * 10 + (*t - '0');
  return epos[1] == '-' ? -mag : mag;
}

// Writes the F field of x >= 0 from its decimal text, for the values whose
// exact scaling needs more than 64 bits, and for the not finite ones.
[[gnu::noinline]] int text_field(double x, bool sign, int32_t w, int32_t d) {
  int32_t extra = 0;
  if (d >= kFMaxDigits) {
    extra = d - kFMaxDigits;
    d = kFMaxDigits;
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

// Writes x >= 0 (negative when sign) in an Ew.d field with e exponent digits
// (two when 0): any width, digits and value.
[[gnu::noinline]] int e_field(double x, bool sign, int32_t w, int32_t d, int32_t e) {
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
  // sig: the first digit and the prec digits after it; x = sig x 10^(exp10 - 1).
  char sig[48];
  int32_t exp10 = x == 0 ? 0 : sci_digits(x, prec, sig) + 1;
  if (x == 0) put_rep(sig, '0', prec + 1);

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
    p = put_n(p, sig, prec + 1);
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

}  // namespace

// Writes x in an Fw.d field: right-aligned, rounded to d digits after the
// point; a value that rounds to zero has no sign; a value too wide is a field
// of w asterisks, save that a leading "0" is dropped to make it fit.
int wrt_F(const char* ptr, int32_t w, int32_t d, int32_t len) {
  double x;
  bool sign = load_magnitude(ptr, len, &x);
  if (short_F(x, sign, w, d)) return 0;
  uint64_t scaled;
  if (!f__scaled(x, d, &scaled)) return text_field(x, sign, w, d);
  return fixed_field(scaled, sign, w, d);
}

// Writes x in an Ew.d field as 0.ddd times ten to a signed exponent of two
// digits (e of them when e > 0); three digits take the place of the "E".
// The "0" before the point is written when there is room for it.
int wrt_E(const char* ptr, int32_t w, int32_t d, int32_t e, int32_t len) {
  double x;
  bool sign = load_magnitude(ptr, len, &x);
  char* p = short_E_at(x_room(kShort + kSlack), x, sign, w, d, e);
  if (p != nullptr) {
    x_done(p);
    return 0;
  }
  return e_field(x, sign, w, d, e);
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
