// Exact decimal scaling of a double: the integer nearest x times a power of
// ten, from which F and E fields take their digits.
#include <bit>
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

namespace {

// 10^0 to 10^19 as doubles: each exact.
constexpr double kPow10d[20] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,
                                1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19};

// f__scaled by 128-bit integer arithmetic, for any x >= 0 and d <= 19.
[[gnu::noinline]] bool scaled_exact(double x, int32_t d, uint64_t* out) {
  if (!(x < 9007199254740992.0)) return false;
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

}  // namespace

// Computes x * 10^d rounded to the nearest integer, ties to even, exactly,
// for x >= 0. Returns false when x or d is too large for 64 bits of result.
bool f__scaled(double x, int32_t d, uint64_t* out) {
  if (d > 19) return false;
  // Below 2^32 the rounded product y is within 2^-22 of the exact one, so
  // when y is farther than 2^-20 from a half its nearest integer is the
  // exact result. Only products next to a half take the exact path.
  double y = x * kPow10d[d];
  if (y < 4294967296.0) {
    int64_t q = static_cast<int64_t>(y);
    double f = y - static_cast<double>(q);  // exact: y and q share y's unit
    if (f < 0.5 - 0x1p-20) {
      *out = static_cast<uint64_t>(q);
      return true;
    }
    if (f > 0.5 + 0x1p-20) {
      *out = static_cast<uint64_t>(q) + 1;
      return true;
    }
  }
  return scaled_exact(x, d, out);
}

}  // namespace rio
