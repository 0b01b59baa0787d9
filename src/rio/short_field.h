// The short path of the F and E writers: a field of at most kShort columns
// and at most eight digits, converted without an intermediate text. The
// writers and the interpreter's plan both use it.
#pragma once

#include <bit>
#include <cstring>

#include "fmt.h"

namespace rio {

// The short path's blanks are one fixed 16-byte store and its digits
// eight-byte stores, which may pass the field's end by up to kSlack bytes.
// Those bytes lie in the room asked for and beyond the record's end, where
// the next field or nothing overwrites them.
constexpr int32_t kShort = 16, kSlack = 8;
inline constexpr char kBlanks[kShort + 1] = "                ";
constexpr uint64_t kZeros = 0x3030303030303030;  // eight "0" bytes

// Loads the value at ptr (a float when len is 4, else a double) as its
// magnitude; returns whether it was negative. A negative zero is written as a
// positive one.
inline bool load_magnitude(const char* ptr, int32_t len, double* x) {
  if (len == 4) {
    float f;
    memcpy(&f, ptr, sizeof f);
    *x = f;
  } else {
    memcpy(x, ptr, sizeof *x);
  }
  if (*x < 0) {
    *x = -*x;
    return true;
  }
  *x += 0.0;  // a negative zero becomes a positive one
  return false;
}

// Stores the eight bytes of v in the order of their significance, lowest
// first.
inline void store8(char* p, uint64_t v) {
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
  memcpy(p, &v, sizeof v);
}

// The eight decimal digits of v < 10^8, leading zeros included, as the byte
// values 0 to 9, the most significant in the lowest byte: the four-digit
// halves, their pairs and their digits split in parallel lanes.
inline uint64_t digits8(uint32_t v) {
  uint64_t halves = v / 10000 | static_cast<uint64_t>(v % 10000) << 32;
  uint64_t hi2 = (halves * 10486 >> 20) & 0x0000007F0000007F;  // each lane / 100
  uint64_t pairs = (halves - 100 * hi2) << 16 | hi2;
  uint64_t tens = (pairs * 103 >> 10) & 0x000F000F000F000F;  // each lane / 10
  return tens | (pairs - 10 * tens) << 8;
}

// Starts a short field of w columns whose text takes its last n: stores the
// blanks and returns where the text begins.
inline char* short_field(int32_t w, int64_t n) {
  char* p = x_room(kShort + kSlack);
  memcpy(p, kBlanks, kShort);
  return p + (w - n);
}

// Writes v, the value x 10^d rounded, (negative when sign) in an Fw.d field
// of at most kShort columns and at most seven digits after the point by the
// short path, at at, where kShort + kSlack bytes are free, and returns the
// field's end; returns null, having decided nothing, unless the text has at
// most eight digits and fits without dropping its leading zero. No plus sign
// may be asked for. before is w - d - 1, the columns before the point, and
// shift 8 (8 - d), which leaves the last d of eight digits: the plan keeps
// both. The digits of both sides come from one conversion, stored on either
// side of the point.
inline char* short_F_text(char* at, uint64_t v, bool sign, int32_t d, int32_t before,
                          int32_t shift) {
  if (v >= 100000000) return nullptr;
  uint64_t dig = digits8(static_cast<uint32_t>(v));
  // The integer part's digits, at least its last: eight less the fraction's
  // and the leading zeros before that last, in byte 7 - d.
  uint64_t last = uint64_t{1} << (shift - 8);
  int32_t ilen =
      8 - d - static_cast<int32_t>(static_cast<uint32_t>(std::countr_zero(dig | last)) / 8);
  sign = sign && v != 0;
  if (ilen + (sign ? 1 : 0) > before) return nullptr;
  char* pt = at + before;
  memcpy(at, kBlanks, kShort);
  if (sign) pt[-ilen - 1] = '-';
  store8(pt - ilen, dig >> (shift - 8 * ilen) | kZeros);
  *pt = '.';
  store8(pt + 1, dig >> (shift & 63) | kZeros);  // d = 0: digits past the end, in the slack
  return pt + 1 + d;
}

// short_F_text for x >= 0 itself.
inline char* short_F_at(char* at, double x, bool sign, int32_t w, int32_t d) {
  uint64_t scaled;
  if (!f__scaled(x, d, &scaled)) return nullptr;
  return short_F_text(at, scaled, sign, d, w - d - 1, 8 * (8 - d));
}

// The two-digit texts "00" to "99".
inline constexpr char kPairs[201] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The n <= 8 significant digits of x > 0, exactly rounded, as v with
// 10^(n-1) <= v < 10^n, and the exponent k of x = v x 10^(k-n+1); false when
// the exact scaling does not reach them (x too large or too small).
inline bool short_sci(double x, int32_t n, uint32_t* v, int32_t* k) {
  // log10(2) ~ 78913 / 2^18: an estimate of k, low by at most one.
  int32_t e2 = static_cast<int32_t>(std::bit_cast<uint64_t>(x) >> 52) - 1023;
  *k = (e2 * 78913) >> 18;
  for (int tries = 0; tries < 3; ++tries) {
    int32_t s = n - 1 - *k;
    uint64_t q;
    if (s < 0 || !f__scaled(x, s, &q) || q < f__pow10[n - 1]) return false;
    if (q < f__pow10[n]) {
      *v = static_cast<uint32_t>(q);
      return true;
    }
    ++*k;  // k was low, or the digits rounded up to 10^n
  }
  return false;
}

// Writes v x 10^(exp10 - d), where 10^(d-1) <= v < 10^d, (negative when
// sign) in an Ew.d field of at most kShort columns with two exponent digits
// by the short path, at at, where kShort + kSlack bytes are free, and returns
// the field's end; returns null, having decided nothing, unless the field has
// room for the sign, the point and the digits, and |exp10| < 100. before is
// w - d - 5, the columns before the point, and shift 8 (8 - d).
inline char* short_E_text(char* at, uint32_t v, int32_t exp10, bool sign, int32_t d, int32_t before,
                          int32_t shift) {
  char* pt = at + before;
  before -= sign ? 1 : 0;  // the columns left for a "0"
  if (before < 0 || exp10 < -99 || exp10 > 99) return nullptr;
  memcpy(at, kBlanks, kShort);
  if (before > 0) pt[-1] = '0';
  if (sign) pt[before > 0 ? -2 : -1] = '-';
  *pt = '.';
  store8(pt + 1, digits8(v) >> shift | kZeros);
  char* e = pt + 1 + d;
  uint32_t mag = static_cast<uint32_t>(exp10 < 0 ? -exp10 : exp10);
  e[0] = 'E';
  e[1] = exp10 < 0 ? '-' : '+';
  memcpy(e + 2, &kPairs[2 * mag], 2);
  return e + 4;
}

// Writes x >= 0 (negative when sign) in an Ew.d field by the short path, at
// at, where kShort + kSlack bytes are free, and returns the field's end;
// returns null, having decided nothing, unless x is finite and above zero,
// the field has at most kShort columns, room for its d <= 8 digits and two
// exponent digits after the "E" (e 0 or 2), and the exponent has two digits.
inline char* short_E_at(char* at, double x, bool sign, int32_t w, int32_t d, int32_t e) {
  uint32_t v;
  int32_t k;
  if (w > kShort || d <= 0 || d > 8 || (e != 0 && e != 2) || !(x > 0) || !short_sci(x, d, &v, &k))
    return nullptr;
  return short_E_text(at, v, k + 1, sign, d, w - d - 5, 8 * (8 - d));
}

// short_F_at in the record.
inline bool short_F_fits(double x, bool sign, int32_t w, int32_t d) {
  char* e = short_F_at(x_room(kShort + kSlack), x, sign, w, d);
  if (e != nullptr) x_done(e);
  return e != nullptr;
}

// short_F_fits for any field: false, having written nothing, when the field
// is wider than kShort, has more than seven digits after the point, or a
// plus sign is asked for.
inline bool short_F(double x, bool sign, int32_t w, int32_t d) {
  return w <= kShort && d <= 7 && f__cplus == 0 && short_F_fits(x, sign, w, d);
}

}  // namespace rio
