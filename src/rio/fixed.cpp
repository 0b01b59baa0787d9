// Fixed-point conversion of a double: the exactly rounded decimal text with
// a given number of digits after the point, as "%.*f" writes it.
#include <bit>
#include <charconv>
#include <cstring>

#include "fmt.h"

namespace rio {

namespace {

__extension__ typedef unsigned __int128 u128;

}  // namespace

const uint64_t f__pow10[20] = {1ull,
                               10ull,
                               100ull,
                               1000ull,
                               10000ull,
                               100000ull,
                               1000000ull,
                               10000000ull,
                               100000000ull,
                               1000000000ull,
                               10000000000ull,
                               100000000000ull,
                               1000000000000ull,
                               10000000000000ull,
                               100000000000000ull,
                               1000000000000000ull,
                               10000000000000000ull,
                               100000000000000000ull,
                               1000000000000000000ull,
                               10000000000000000000ull};

// Computes x * 10^d rounded to the nearest integer, ties to even, exactly,
// for x >= 0. Returns false when x or d is too large for 64 bits of result.
bool f__scaled(double x, int32_t d, uint64_t* out) {
  if (d > 19 || !(x < 9007199254740992.0)) return false;
  uint64_t bits = std::bit_cast<uint64_t>(x);
  int exp = static_cast<int>(bits >> 52);
  uint64_t m = bits & ((1ull << 52) - 1);
  if (exp != 0) m |= 1ull << 52;
  int e2 = (exp != 0 ? exp : 1) - 1075;  // x = m * 2^e2
  if (e2 > 0) return false;
  u128 p = static_cast<u128>(m) * f__pow10[d];
  int s = -e2;
  u128 q;
  if (s == 0) {
    q = p;
  } else if (s >= 118) {
    q = 0;  // p < 2^117: below a half
  } else {
    // t keeps the first bit below the point; a tie is exact when no bit
    // below that one is set.
    u128 t = p >> (s - 1);
    q = t >> 1;
    if ((t & 1) != 0 && ((t << (s - 1)) != p || (q & 1) != 0)) ++q;
  }
  if (q >> 64 != 0) return false;
  *out = static_cast<uint64_t>(q);
  return true;
}

// Writes x >= 0 with exactly d digits after the point into [buf, end) and
// returns the end of the text; no point when d is 0. The text is that of
// "%.*f": the exact value rounded to nearest, ties to even.
char* f__fixed(char* buf, char* end, double x, int32_t d) {
  uint64_t n;
  if (!f__scaled(x, d, &n)) return std::to_chars(buf, end, x, std::chars_format::fixed, d).ptr;
  // n holds the digits; the last d of them follow the point.
  char digits[24];
  char* q = digits + sizeof digits;
  int count = 0;
  do {
    *--q = static_cast<char>('0' + n % 10);
    n /= 10;
    ++count;
  } while (n != 0);
  int lead = count > d ? count - d : 0;  // digits before the point
  char* p = buf;
  if (lead == 0) *p++ = '0';
  for (int i = 0; i < lead; ++i) *p++ = q[i];
  if (d > 0) {
    *p++ = '.';
    for (int i = count; i < d; ++i) *p++ = '0';
    for (int i = lead; i < count; ++i) *p++ = q[i];
  }
  return p;
}

}  // namespace rio
