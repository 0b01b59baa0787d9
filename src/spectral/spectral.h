// Spectral numerics: an in-place radix-2 FFT and the complex helpers it uses.
#pragma once

#include <cstdint>

namespace spectral {

// A complex value: real part, then imaginary part, nothing between them.
struct complex {
  double r;
  double i;
};

// The program's value of pi; every twiddle angle is formed with it.
constexpr double pai = 3.141592654;

// Transforms a[0..n-1] in place: on return a[k] is the sum over j of
// a[j] * exp(ind * i * 2 pi j k / n), pi taken as pai, without normalisation.
// "In place" means that the result overwrites the input and nothing else is
// used but a fixed block of 64 twiddles on the stack: no allocation, no work
// array, no table that grows with n. Only a[0..n-1] is read or written. When n is below 2, not a
// power of two, or above mom, the array is left unchanged.
void dwvfast(int32_t n, complex* a, int32_t mom, int32_t ind);

// Writes exp(z) into *r; r may be z itself.
void z_exp(complex* r, const complex* z);

// Returns |z|.
double z_abs(const complex* z);

// Returns sqrt(x*x + y*y) without forming the squares.
double f__cabs(double x, double y);

}  // namespace spectral
