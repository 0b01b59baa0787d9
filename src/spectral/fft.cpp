// The in-place radix-2 decimation-in-time FFT.
#include <cstring>

#include "spectral.h"

namespace spectral {

namespace {

void swap(complex* x, complex* y) {
  complex t = *y;
  *y = *x;
  *x = t;
}

// Two doubles, a complex value's parts, in one register: each operation on
// it is the same operation on each part, rounded alike.
using pair = double __attribute__((vector_size(16)));

inline pair load(const complex* z) {
  pair v;
  std::memcpy(&v, z, sizeof v);
  return v;
}
inline void store(complex* z, pair v) { std::memcpy(z, &v, sizeof v); }

// A twiddle w as the two pairs that one butterfly multiplies by: (w.r, w.r)
// and (-w.i, w.i).
struct twiddle_pair {
  pair real, imag;
};

// One butterfly: t = b * w; b = a - t; a = a + t, each part of each by
// exactly the scalar operations: t.r = b.r w.r + b.i (-w.i), which is
// b.r w.r - b.i w.i, and t.i = b.i w.r + b.r w.i.
inline void butterfly(complex* a, complex* b, const twiddle_pair& w) {
  const pair bv = load(b), av = load(a);
  const pair swapped = {bv[1], bv[0]};
  const pair t = bv * w.real + swapped * w.imag;
  store(b, av - t);
  store(a, av + t);
}

// Twiddles evaluated together, then used together: a block on the stack.
constexpr int32_t kTwiddles = 64;

// The twiddle of butterfly k (from 1) of a pass over spans of 2 kmax:
// exp(i ind pai (k - 1) / kmax).
complex twiddle(int32_t k, int32_t kmax, int32_t ind) {
  double phi = static_cast<double>(int64_t{k - 1} * ind) * pai / static_cast<double>(kmax);
  complex theta{0, phi};
  complex w;
  z_exp(&w, &theta);
  return w;
}

bool power_of_two(int32_t n) { return n > 0 && (n & (n - 1)) == 0; }

}  // namespace

void dwvfast(int32_t n, complex* a, int32_t mom, int32_t ind) {
  if (n < 2 || !power_of_two(n) || n > mom) return;
  // The loops count from 1, as the formulas do: entry k is a[k - 1].
  // Bit-reversal permutation: i walks 1..n, j is its bit-reversed partner.
  int32_t j = 1;
  for (int32_t i = 1; i <= n; ++i) {
    if (i < j) swap(&a[i - 1], &a[j - 1]);
    int32_t m = n / 2;
    while (j > m) {
      j -= m;
      m /= 2;
      if (m <= 1) break;
    }
    j += m;
  }

  // Butterfly passes over spans of 2, 4, ..., n. The butterflies of one
  // pass touch disjoint pairs, so their order within the pass does not
  // change a bit of the result. They are taken a block of kTwiddles twiddles
  // at a time, each block's twiddles evaluated once (as k runs, exactly as
  // the formula gives them), then every span's pairs for that block: the
  // array is walked in order instead of once per twiddle with a stride.
  for (int32_t kmax = 1; kmax < n; kmax *= 2) {
    const int32_t istep = 2 * kmax;
    for (int32_t k0 = 1; k0 <= kmax; k0 += kTwiddles) {
      const int32_t kb = kmax - k0 + 1 < kTwiddles ? kmax - k0 + 1 : kTwiddles;
      twiddle_pair w[kTwiddles];
      for (int32_t b = 0; b < kb; ++b) {
        const complex z = twiddle(k0 + b, kmax, ind);
        w[b] = twiddle_pair{pair{z.r, z.r}, pair{-z.i, z.i}};
      }
      for (int32_t i = k0; i <= n; i += istep)
#pragma GCC unroll 2
        for (int32_t b = 0; b < kb; ++b) butterfly(&a[i - 1 + b], &a[i - 1 + b + kmax], w[b]);
    }
  }
}

}  // namespace spectral
