// The radix-2 FFT against its closed form, and the complex helpers.
#include "spectral.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

using spectral::complex;
using spectral::dwvfast;

namespace {

std::vector<complex> fft(std::vector<complex> a, int ind = -1) {
  dwvfast(static_cast<int32_t>(a.size()), a.data(), static_cast<int32_t>(a.size()), ind);
  return a;
}

TEST(Fft, SmallSizes) {
  std::vector<complex> one = fft({{3, 1}});
  EXPECT_EQ(one[0].r, 3);
  EXPECT_EQ(one[0].i, 1);
  std::vector<complex> two = fft({{3, 1}, {1, -2}});
  EXPECT_EQ(two[0].r, 4);
  EXPECT_EQ(two[0].i, -1);
  EXPECT_EQ(two[1].r, 2);
  EXPECT_EQ(two[1].i, 3);
  for (const complex& c : fft({{1, 0}, {0, 0}, {0, 0}, {0, 0}})) {
    EXPECT_EQ(c.r, 1);
    EXPECT_EQ(c.i, 0);
  }
  std::vector<complex> eight = fft(std::vector<complex>(8, {1, 0}));
  EXPECT_EQ(eight[0].r, 8);
  EXPECT_EQ(eight[0].i, 0);
  for (int k = 1; k < 8; ++k) EXPECT_TRUE(eight[k].r == 0 && eight[k].i == 0) << k;
}

// The twiddles are formed with pai = 3.141592654, not with pi: the real part
// of entry 3 is -2.0510e-10 rather than of the order of 1e-17.
TEST(Fft, EightPointImpulseShowsPai) {
  std::vector<complex> a(8, {0, 0});
  a[1] = {1, 0};
  a = fft(a);
  const double want[8][2] = {
      {1, 0},  {0.7071067811, -0.7071067813}, {-2.0510e-10, -1}, {-0.7071067814, -0.7071067810},
      {-1, 0}, {-0.7071067811, 0.7071067813}, {2.0510e-10, 1},   {0.7071067814, 0.7071067810}};
  for (int k = 0; k < 8; ++k) {
    EXPECT_NEAR(a[k].r, want[k][0], k == 2 || k == 6 ? 5e-15 : 1e-10) << k;
    EXPECT_NEAR(a[k].i, want[k][1], 1e-10) << k;
    EXPECT_NEAR(spectral::z_abs(&a[k]), 1, 1e-15);
  }
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(a[k + 4].r, -a[k].r);
    EXPECT_EQ(a[k + 4].i, -a[k].i);
  }
}

std::vector<complex> random_data(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(-1, 1);
  std::vector<complex> a(n);
  for (complex& c : a) c = {u(gen), u(gen)};
  return a;
}

// Within rounding, the transform is the direct sum with pai in place of pi.
TEST(Fft, AgreesWithDirectSumInLongDouble) {
  const long double pai = 3.141592654L;
  for (size_t n : {2u, 16u, 64u, 512u, 4096u}) {
    std::vector<complex> x = random_data(n, static_cast<unsigned>(n));
    std::vector<complex> y = fft(x);
    double worst = 0;
    for (size_t k = 0; k < n; k += (n > 512 ? 37 : 1)) {
      long double re = 0, im = 0;
      for (size_t j = 0; j < n; ++j) {
        long double phi = -2 * pai * static_cast<long double>((j * k) % n) / n;
        re += x[j].r * cosl(phi) - x[j].i * sinl(phi);
        im += x[j].r * sinl(phi) + x[j].i * cosl(phi);
      }
      worst = std::max(worst, static_cast<double>(fabsl(re - y[k].r) + fabsl(im - y[k].i)));
    }
    // Rounding grows like log2 n; the twiddles of pai differ from the direct
    // sum's angles reduced modulo the period by at most n * 4.1e-10.
    EXPECT_LT(worst, 1e-9 * static_cast<double>(n) + 1e-12) << n;
  }
}

TEST(Fft, ForwardThenInverseGivesNTimesTheData) {
  for (size_t n : {1u, 2u, 8u, 256u, 8192u, 65536u}) {
    std::vector<complex> x = random_data(n, 7);
    std::vector<complex> y = fft(fft(x, -1), +1);
    double worst = 0;
    for (size_t k = 0; k < n; ++k)
      worst = std::max(worst, std::fabs(y[k].r / n - x[k].r) + std::fabs(y[k].i / n - x[k].i));
    EXPECT_LT(worst, 1e-14 * std::log2(static_cast<double>(n) + 1) + 1e-15) << n;
  }
}

TEST(Fft, OutsideItsDomainLeavesEverythingUnchanged) {
  std::vector<complex> a = random_data(20, 3), before = a;
  for (int32_t n : {0, -4, 3, 6, 12, 16}) {
    // 16 is a power of two but above mom; only the first 12 entries are "the array".
    dwvfast(n, a.data() + 2, 12, -1);
    for (size_t k = 0; k < a.size(); ++k)
      ASSERT_TRUE(a[k].r == before[k].r && a[k].i == before[k].i);
  }
  // A power of two touches only its n entries.
  dwvfast(8, a.data() + 2, 12, -1);
  for (size_t k : {0u, 1u, 10u, 11u, 19u})
    EXPECT_TRUE(a[k].r == before[k].r && a[k].i == before[k].i);
}

TEST(Complex, ExpAndMagnitude) {
  complex z{1, 0}, r;
  spectral::z_exp(&r, &z);
  EXPECT_EQ(r.r, std::exp(1.0));
  EXPECT_EQ(r.i, 0);
  z = {0, 0.75};
  spectral::z_exp(&z, &z);  // in place
  EXPECT_EQ(z.r, std::cos(0.75));
  EXPECT_EQ(z.i, std::sin(0.75));

  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(spectral::f__cabs(0, 0), 0);
  EXPECT_EQ(spectral::f__cabs(-3, 4), 5);
  EXPECT_EQ(spectral::f__cabs(1e300, 1e300), 1.4142135623730952e300);
  EXPECT_EQ(spectral::f__cabs(1.5e308, 1.5e308), inf);
  EXPECT_EQ(spectral::f__cabs(inf, inf), inf);
  EXPECT_EQ(spectral::f__cabs(-inf, 2), inf);
  double nz = spectral::f__cabs(-0.0, 0.0);
  EXPECT_TRUE(nz == 0 && std::signbit(nz));
  EXPECT_TRUE(std::isnan(spectral::f__cabs(NAN, 1)));
  EXPECT_TRUE(std::isnan(spectral::f__cabs(1, NAN)));
  EXPECT_EQ(spectral::f__cabs(5e-324, 0), 5e-324);
}

}  // namespace
