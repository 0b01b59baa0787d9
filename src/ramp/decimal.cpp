// The decimal reader: its digits as an integer of any size, divided exactly
// by the power of ten (or multiplied by it), so that the rounding to a
// double is decided by the exact remainder and never by a guess.
#include "decimal.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace ramp {

namespace {

// A non-negative integer, least significant 32 bits first, without leading
// zero words.
using big = std::vector<uint32_t>;

void mul_add(big& a, uint32_t m, uint32_t add) {
  uint64_t carry = add;
  for (uint32_t& w : a) {
    uint64_t t = uint64_t{w} * m + carry;
    w = static_cast<uint32_t>(t);
    carry = t >> 32;
  }
  if (carry != 0) a.push_back(static_cast<uint32_t>(carry));
}

void times_pow10(big& a, int64_t n) {
  for (; n >= 9; n -= 9) mul_add(a, 1000000000, 0);
  for (; n > 0; --n) mul_add(a, 10, 0);
}

int64_t bit_length(const big& a) {
  if (a.empty()) return 0;
  return 32 * static_cast<int64_t>(a.size() - 1) + std::bit_width(a.back());
}

void shift_left(big& a, int64_t n) {
  if (a.empty() || n <= 0) return;
  int r = static_cast<int>(n % 32);
  if (r != 0) {
    uint32_t carry = 0;
    for (uint32_t& w : a) {
      uint32_t next = w >> (32 - r);
      w = (w << r) | carry;
      carry = next;
    }
    if (carry != 0) a.push_back(carry);
  }
  a.insert(a.begin(), static_cast<size_t>(n / 32), 0);
}

void shift_right_1(big& a) {
  for (size_t i = 0; i < a.size(); ++i)
    a[i] = (a[i] >> 1) | (i + 1 < a.size() ? a[i + 1] << 31 : 0);
  if (!a.empty() && a.back() == 0) a.pop_back();
}

bool at_least(const big& a, const big& b) {
  if (a.size() != b.size()) return a.size() > b.size();
  for (size_t i = a.size(); i-- > 0;)
    if (a[i] != b[i]) return a[i] > b[i];
  return true;
}

// a - b, for a at least b.
void subtract(big& a, const big& b) {
  int64_t borrow = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    int64_t t = int64_t{a[i]} - (i < b.size() ? b[i] : 0) - borrow;
    borrow = t < 0 ? 1 : 0;
    a[i] = static_cast<uint32_t>(t + (borrow << 32));
  }
  while (!a.empty() && a.back() == 0) a.pop_back();
}

// The text's value as its significant digits times a power of ten.
struct decimal {
  bool negative = false;
  std::string digits;  // no leading or trailing zeros; empty for zero
  int64_t exp10 = 0;
};

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Appends the digits of v from *i on to digits, but for the leading zeros
// of the number; how many digits there were.
size_t take_digits(std::string_view v, size_t* i, std::string* digits) {
  size_t start = *i;
  for (; *i < v.size() && is_digit(v[*i]); ++*i)
    if (!digits->empty() || v[*i] != '0') *digits += v[*i];
  return *i - start;
}

constexpr int64_t kLimit = 100000000000000000;  // 1e17

bool parse(std::string_view v, decimal* d) {
  size_t i = 0;
  d->negative = !v.empty() && v[0] == '-';
  if (d->negative) ++i;
  size_t whole = take_digits(v, &i, &d->digits), fraction = 0;
  if (i < v.size() && v[i] == '.') {
    ++i;
    fraction = take_digits(v, &i, &d->digits);
  }
  if (whole + fraction == 0) return false;
  d->exp10 = -static_cast<int64_t>(fraction);
  if (i < v.size() && (v[i] == 'e' || v[i] == 'E')) {
    ++i;
    bool minus = i < v.size() && v[i] == '-';
    if (i < v.size() && (v[i] == '-' || v[i] == '+')) ++i;
    if (i == v.size() || !is_digit(v[i])) return false;
    int64_t e = 0;  // held below a bound far beyond the length of any text
    for (; i < v.size() && is_digit(v[i]); ++i) e = std::min(e, kLimit) * 10 + (v[i] - '0');
    d->exp10 += minus ? -e : e;
  }
  return i == v.size();
}

// Past this many digits the rest only tells whether the value lies above the
// digits kept: no two doubles, nor the tie between them, differ further down.
constexpr size_t kDigitsKept = 800;

// Drops the trailing zeros, and the digits past those kept, in place of which
// a 1 one place further marks what lay beyond.
void shorten(decimal* d) {
  size_t zeros = d->digits.size() - (d->digits.find_last_not_of('0') + 1);
  d->digits.resize(d->digits.size() - zeros);
  d->exp10 += static_cast<int64_t>(zeros);
  if (d->digits.size() <= kDigitsKept) return;
  d->exp10 += static_cast<int64_t>(d->digits.size() - kDigitsKept) - 1;
  d->digits.resize(kDigitsKept);
  d->digits += '1';
}

// The nearest double to the positive value of d, or an infinity.
double nearest(const decimal& d) {
  big n, m{1};
  for (char c : d.digits) mul_add(n, 10, static_cast<uint32_t>(c - '0'));
  times_pow10(d.exp10 > 0 ? n : m, std::abs(d.exp10));
  // n / m scaled by 2^shift into [2^54, 2^56): 56 bits of quotient, then
  // whether anything remains.
  int64_t shift = 55 - (bit_length(n) - bit_length(m));
  shift_left(n, shift);
  shift_left(m, std::max<int64_t>(-shift, 0) + 55);  // the divisor of the quotient's top bit
  uint64_t q = 0;
  for (int i = 55; i >= 0; --i) {
    q <<= 1;
    if (at_least(n, m)) {
      subtract(n, m);
      q |= 1;
    }
    if (i > 0) shift_right_1(m);
  }
  // 53 bits kept, fewer where the value is below the smallest normal double.
  int64_t excess = std::max(static_cast<int64_t>(std::bit_width(q)) - 53, shift - 1074);
  if (excess > 56) return 0;
  uint64_t kept = q >> excess, rest = q & ((uint64_t{1} << excess) - 1);
  uint64_t half = uint64_t{1} << (excess - 1);
  if (rest > half || (rest == half && (!n.empty() || (kept & 1) != 0))) ++kept;
  return std::ldexp(static_cast<double>(kept), static_cast<int>(excess - shift));
}

}  // namespace

bool read_decimal(std::string_view v, double* x) {
  decimal d;
  if (!parse(v, &d)) return false;
  shorten(&d);
  int64_t lead = static_cast<int64_t>(d.digits.size()) + d.exp10;  // below 10^lead
  if (d.digits.empty() || lead < -330) {  // zero, or below half the smallest double
    *x = d.negative ? -0.0 : 0.0;
    return true;
  }
  if (lead > 310) return false;  // above the largest double
  double r = nearest(d);
  *x = d.negative ? -r : r;
  return std::isfinite(r);
}

}  // namespace ramp
