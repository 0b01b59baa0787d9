// The in-place radix-2 decimation-in-time FFT.
#include "spectral.h"

namespace spectral {

namespace {

void swap(complex* x, complex* y) {
  complex t = *y;
  *y = *x;
  *x = t;
}

// One butterfly: t = b * w; b = a - t; a = a + t. b is written first.
inline void butterfly(complex* a, complex* b, complex w) {
  complex t{b->r * w.r - b->i * w.i, b->r * w.i + b->i * w.r};
  b->r = a->r - t.r;
  b->i = a->i - t.i;
  a->r = a->r + t.r;
  a->i = a->i + t.i;
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
      complex w[kTwiddles];
      for (int32_t b = 0; b < kb; ++b) w[b] = twiddle(k0 + b, kmax, ind);
      for (int32_t i = k0; i <= n; i += istep)
        for (int32_t b = 0; b < kb; ++b) butterfly(&a[i - 1 + b], &a[i - 1 + b + kmax], w[b]);
    }
  }
}

}  // namespace spectral
