// The short path of the F and E writers: a field of at most kShort columns
// and at most eight digits (sixteen for F), converted without an
// intermediate text. The
// writers and the interpreter's plan both use it.
#pragma once

#include <bit>
#include <cstring>

#include "format/fmt.h"

namespace rio {

// The short path's blanks are one fixed 16-byte store and its digits
// eight-byte stores, which may pass the field's end by up to kSlack bytes.
// Those bytes lie in the room asked for and beyond the record's end, where
// the next field or nothing overwrites them.
constexpr int32_t kShort = 16, kSlack = 8;
// The room that a short step (literal, field and slack) may take from its start.
constexpr int32_t kStepRoom = kSlack + kShort + kSlack;
// The longest record that a plan may hold.
constexpr int64_t kPlanRecordMax = 1 << 20;
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

// The four decimal digits of every v < 10^4 as the byte values 0 to 9, the
// most significant in the lowest byte: a table of 40 KB, made when the
// program is compiled, so that a field's digits take two loads.
struct digit_table {
  uint32_t of[10000];
};
constexpr digit_table make_digit_table() {
  digit_table t{};
  for (uint32_t v = 0; v < 10000; ++v)
    t.of[v] = v / 1000 | (v / 100 % 10) << 8 | (v / 10 % 10) << 16 | (v % 10) << 24;
  return t;
}
inline constexpr digit_table kDigits = make_digit_table();

// The four decimal digits of v < 10^4, leading zeros included, as the byte
// values 0 to 9, the most significant in the lowest byte.
inline uint32_t digits4(uint32_t v) { return kDigits.of[v]; }

// The eight decimal digits of v < 10^8, as digits4 gives four.
inline uint64_t digits8(uint32_t v) {
  const uint64_t hi = uint64_t{v} * 3518437209 >> 45;  // v / 10^4 for every v < 2^32, in 64 bits
  return kDigits.of[hi] | uint64_t{digits4(v - static_cast<uint32_t>(hi) * 10000)} << 32;
}

// Where the parts of a short field go, in columns from an origin: a
// writer's field start, or a plan step's start, whose literal comes first
// (step_layout in fmt.h).
// - blanks: the field's first column, from which its kShort blanks go;
// - point: its point, with d digits after it;
// - first: where the first of the eight digits of digits8 would go, were all
//   of them written, so that their last d follow the point:
//   first = point - (8 - d);
// - shift: the right shift, in bits, that keeps the last d of those eight:
//   shift = 8 * (8 - d).
struct short_layout {
  int32_t d, blanks, point, first, shift;
};

// The layout of an Fw.d field from its start.
constexpr short_layout F_layout(int32_t w, int32_t d) {
  return {d, 0, w - d - 1, w - 9, 8 * (8 - d)};
}

// The layout of an Ew.d field from its start: d digits and "E+xx" follow the point.
constexpr short_layout E_layout(int32_t w, int32_t d) {
  return {d, 0, w - d - 5, w - 13, 8 * (8 - d)};
}

// The leading zeros of the integer part in the eight digits dig (digits8)
// of a short F field laid out by L that its text leaves out: the trailing
// zero bytes of dig below the last integer digit's, byte 7 - d.
inline int32_t short_F_zeros(uint64_t dig, const short_layout& L) {
  return std::countr_zero(dig | uint64_t{1} << (L.shift - 8)) / 8;
}

// Where the text of a short F field laid out by L begins, for the value
// x 10^d rounded whose eight digits are dig (digits8), negative when sign:
// the integer part is the first 8 - d digits, written from its first
// significant one or its last, after the minus sign if any. Below L.blanks
// when the text does not fit without dropping its leading zero.
inline int32_t short_F_start(uint64_t dig, bool sign, const short_layout& L) {
  return L.first + short_F_zeros(dig, L) - (sign ? 1 : 0);
}

// Stores that text, begun at start (a short_F_start at or past L.blanks),
// in the field at at, where the field's blanks and kShort + kSlack bytes past
// them are free, and returns the field's end. At most seven digits after the
// point. The digits of both sides come from the one conversion, stored on
// either side of the point.
inline char* short_F_store(char* at, uint64_t dig, bool sign, ptrdiff_t start,
                           const short_layout& L) {
  memcpy(at + L.blanks, kBlanks, kShort);
  if (sign) at[start] = '-';
  const ptrdiff_t first = start + (sign ? 1 : 0);
  store8(at + first, dig >> 8 * (first - L.first) | kZeros);  // past the point: overwritten below
  char* pt = at + L.point;
  *pt = '.';
  store8(pt + 1, dig >> (L.shift & 63) | kZeros);  // d = 0: digits past the end, in the slack
  return pt + 1 + L.d;
}

// short_F_start and short_F_store: null, having stored nothing, when the
// text does not fit.
inline char* short_F_text(char* at, uint64_t dig, bool sign, const short_layout& L) {
  sign = sign && dig != 0;  // no minus sign before a zero
  const int32_t start = short_F_start(dig, sign, L);
  return start < L.blanks ? nullptr : short_F_store(at, dig, sign, start, L);
}

// short_F_text for a value x 10^d rounded of nine to sixteen digits,
// 10^8 <= v < 10^16: its first eight digits from the first significant one,
// then the last eight laid out as short_F_store lays out eight. Null, having
// stored nothing, when the text does not fit.
inline char* short_F_text16(char* at, uint64_t v, bool sign, const short_layout& L) {
  const uint64_t hi = digits8(static_cast<uint32_t>(v / 100000000));
  const uint64_t lo = digits8(static_cast<uint32_t>(v % 100000000));
  const int32_t lz = std::countr_zero(hi) / 8;  // hi is not 0, as v >= 10^8
  const int32_t first = L.first - 8 + lz;       // the first significant digit
  const int32_t start = first - (sign ? 1 : 0);
  if (start < L.blanks) return nullptr;
  memcpy(at + L.blanks, kBlanks, kShort);
  if (sign) at[start] = '-';
  store8(at + first, hi >> 8 * lz | kZeros);  // past hi's digits: overwritten below
  store8(at + L.first, lo | kZeros);          // past the point: overwritten below
  char* pt = at + L.point;
  *pt = '.';
  store8(pt + 1, lo >> (L.shift & 63) | kZeros);  // d = 0: digits past the end, in the slack
  return pt + 1 + L.d;
}

// short_F_text for x >= 0 itself.
inline char* short_F_at(char* at, double x, bool sign, int32_t w, int32_t d) {
  uint64_t scaled;
  if (!f__scaled(x, d, &scaled)) return nullptr;
  if (scaled >= 100000000)
    return scaled < 10000000000000000 ? short_F_text16(at, scaled, sign, F_layout(w, d)) : nullptr;
  return short_F_text(at, digits8(static_cast<uint32_t>(scaled)), sign, F_layout(w, d));
}

// The two-digit texts "00" to "99".
inline constexpr char kPairs[201] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The exponent texts "E-99" to "E+99", each four bytes, from the exponent
// plus 99: a short E field's exponent is one load and one store.
struct exponent_table {
  char of[199][4];
};
constexpr exponent_table make_exponent_table() {
  exponent_table t{};
  for (int32_t k = -99; k <= 99; ++k) {
    const int32_t m = k < 0 ? -k : k;
    char* e = t.of[k + 99];
    e[0] = 'E';
    e[1] = k < 0 ? '-' : '+';
    e[2] = static_cast<char>('0' + m / 10);
    e[3] = static_cast<char>('0' + m % 10);
  }
  return t;
}
inline constexpr exponent_table kExponents = make_exponent_table();

// An estimate of the decimal exponent of x > 0, floor(log10 x), from its
// binary exponent e2 alone: floor(e2 log10 2), as (e2 * 78913) >> 18 gives
// it for every exponent of a double (78913 / 2^18 is just below log10 2).
// As 2^e2 <= x < 2^(e2 + 1), the estimate is the exponent or one less: low
// by at most one, never high. (A subnormal x, whose e2 is -1023, lies beyond
// every scaling that uses the estimate.)
inline int32_t exp10_estimate(double x) {
  const int32_t e2 = static_cast<int32_t>(std::bit_cast<uint64_t>(x) >> 52) - 1023;
  return (e2 * 78913) >> 18;
}

// The n <= 19 significant digits of x > 0, exactly rounded, as v with
// 10^(n-1) <= v < 10^n, and the decimal exponent k of x = v x 10^(k-n+1):
// x times 10^(n-1-k) rounded, for k from its estimate up. k goes up by one
// when the digits reach 10^n, because the estimate was low or they rounded
// up to 10^n: at most twice. They are never below 10^(n-1), as the estimate
// is never high. With exact the scaling is f__scaled; otherwise
// f__scaled_near alone, the quick tier's (interpreter.h). False, having
// decided nothing, when the scaling does not settle the digits.
template <bool exact>
inline bool sci_scaled(double x, int32_t n, uint64_t* v, int32_t* k) {
  int32_t e = exp10_estimate(x);
  for (int tries = 0; tries < 3; ++tries, ++e) {
    const int32_t s = n - 1 - e;
    if (s < 0 || s > 19 || !(exact ? f__scaled(x, s, v) : f__scaled_near(x, s, v))) return false;
    if (*v < f__pow10[n]) {
      assert(*v >= f__pow10[n - 1]);
      *k = e;
      return true;
    }
  }
  return false;
}

// The part of a short E field laid out by L up to its point, from its first
// column: blanks, a "0" where there is room for one, the minus sign when sign
// and the point. Null, having stored nothing, when the sign does not fit.
inline char* short_E_head(char* at, bool sign, const short_layout& L) {
  char* pt = at + L.point;
  const int32_t room = L.point - L.blanks - (sign ? 1 : 0);  // the columns left for a "0"
  if (room < 0) return nullptr;
  memcpy(at + L.blanks, kBlanks, kShort);
  if (room > 0) pt[-1] = '0';
  if (sign) pt[room > 0 ? -2 : -1] = '-';
  *pt = '.';
  return pt;
}

// The rest of that field after its point pt: the d digits of v, where
// 10^(d-1) <= v < 10^d, and the exponent's text kExponents.of[exp_at].
// Returns the field's end.
inline char* short_E_tail(char* pt, uint32_t v, uint32_t exp_at, const short_layout& L) {
  const uint64_t dig = L.d <= 4 ? digits4(v) >> (L.shift - 32) : digits8(v) >> L.shift;
  store8(pt + 1, dig | kZeros);
  char* e = pt + 1 + L.d;
  memcpy(e, kExponents.of[exp_at], 4);
  return e + 4;
}

// Writes v x 10^(exp10 - d), where 10^(d-1) <= v < 10^d, (negative when
// sign) in the short E field laid out by L from at, where the field's blanks
// and kShort + kSlack bytes past them are free, and returns the field's end;
// returns null, having decided nothing, unless the field has room for the
// sign, the point and the digits, and |exp10| < 100.
inline char* short_E_text(char* at, uint32_t v, int32_t exp10, bool sign, const short_layout& L) {
  const auto exp_at = static_cast<uint32_t>(exp10 + 99);  // its text in kExponents
  if (exp_at > 198) return nullptr;
  char* pt = short_E_head(at, sign, L);
  return pt == nullptr ? nullptr : short_E_tail(pt, v, exp_at, L);
}

// Writes x >= 0 (negative when sign) in an Ew.d field by the short path, at
// at, where kShort + kSlack bytes are free, and returns the field's end;
// returns null, having decided nothing, unless x is finite and above zero,
// the field has at most kShort columns, room for its d <= 8 digits and two
// exponent digits after the "E" (e 0 or 2), and the exponent has two digits.
inline char* short_E_at(char* at, double x, bool sign, int32_t w, int32_t d, int32_t e) {
  uint64_t v;
  int32_t k;
  if (w > kShort || d <= 0 || d > 8 || (e != 0 && e != 2) || !(x > 0) ||
      !sci_scaled<true>(x, d, &v, &k))
    return nullptr;
  return short_E_text(at, static_cast<uint32_t>(v), k + 1, sign, E_layout(w, d));
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
