// Exact decimal scaling of a double: the integer nearest x times a power of
// ten, from which F and E fields take their digits.
#include <bit>
#include <cstring>

#include "format/fmt.h"

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

// f__scaled by 128-bit integer arithmetic, for any x >= 0 and d <= 19. Out
// of line: the callers' short paths stay free of its registers.
[[gnu::noinline]] bool f__scaled_exact(double x, int32_t d, uint64_t* out) {
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

}  // namespace rio
