// The floor of the whole-run comparison: a straight program that writes the
// same bytes as Ramp-SlipV (console, Ramp_Slip.csv, Ramp_Amp.csv). It computes
// every value the same way, with the same mathematical library calls in the
// same order, converts every F and E field exactly by integer arithmetic into
// one buffer per output, and writes each output with one system write. Linked
// statically, like the Release program.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "spectral.h"

namespace {

using spectral::complex;
__extension__ typedef unsigned __int128 u128;

constexpr int kMom = 16400;
constexpr int kNt = 8192;
double svwave[kMom];
complex svamp[kMom];

char slip[64 + kNt * 57];
char amp[64 + kNt / 2 * 36];
char con[1024];

constexpr uint64_t kPow10[20] = {1ull,
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

// x * 10^d rounded to the nearest integer, ties to even, for 0 <= x < 2^53
// and d <= 19 with a result below 2^64: the product of the significand and
// the power of ten in 128 bits, shifted by the binary exponent.
uint64_t scaled(double x, int d) {
  uint64_t bits = std::bit_cast<uint64_t>(x);
  int exp = static_cast<int>(bits >> 52);
  if (exp == 0) return 0;  // zero (the program writes no subnormal)
  uint64_t m = (bits & ((1ull << 52) - 1)) | 1ull << 52;
  int s = 1075 - exp;  // x = m / 2^s
  if (s <= 0 || s >= 118) {
    if (s >= 118) return 0;
    std::abort();  // x >= 2^53: not in this program
  }
  u128 p = static_cast<u128>(m) * kPow10[d];
  u128 t = p >> (s - 1);
  u128 q = t >> 1;
  if ((t & 1) != 0 && ((t << (s - 1)) != p || (q & 1) != 0)) ++q;
  return static_cast<uint64_t>(q);
}

constexpr char kPairs[201] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the last n digits of v ending at e, two at a time (the program's
// fields all fit 32 bits).
void digits(char* e, uint32_t v, int n) {
  for (; n >= 2; n -= 2, v /= 100) {
    e -= 2;
    std::memcpy(e, &kPairs[2 * (v % 100)], 2);
  }
  if (n > 0) *--e = static_cast<char>('0' + v % 10);
}

// An FW.D field: blanks, a minus sign unless the value rounds to zero, the
// integer digits (a "0" below 1), the point and D digits, written from the
// field's end. The program's values always fit their fields.
template <int W, int D>
char* fixed(char* p, double x) {
  bool neg = x < 0;
  uint64_t v64 = scaled(neg ? -x : x, D);
  if (v64 > UINT32_MAX) std::abort();  // not in this program
  uint32_t v = static_cast<uint32_t>(v64), ip = v / static_cast<uint32_t>(kPow10[D]);
  std::memset(p, ' ', W);
  char* e = p + W;
  digits(e, v, D);
  e -= D;
  *--e = '.';
  do {
    *--e = static_cast<char>('0' + ip % 10);
    ip /= 10;
  } while (ip != 0);
  if (neg && v != 0) *--e = '-';
  return p + W;
}

// An E12.4 field of x >= 0: "  0.dddd" and "E", the exponent's sign and two
// digits; x = 0.dddd times ten to that exponent.
char* expo(char* p, double x) {
  uint32_t v = 0;
  int k = 0;  // x = v x 10^(k - 3), 1000 <= v < 10000
  if (x != 0) {
    // log10(2) ~ 78913 / 2^18: a first k from the binary exponent.
    k = ((static_cast<int>(std::bit_cast<uint64_t>(x) >> 52) - 1023) * 78913) >> 18;
    for (;;) {
      if (3 - k < 0) std::abort();  // x >= 10^4: not in this program
      v = static_cast<uint32_t>(std::min<uint64_t>(scaled(x, 3 - k), 10000));
      if (v >= 10000) {
        ++k;
      } else if (v < 1000) {
        --k;
      } else {
        break;
      }
    }
  }
  int e = x == 0 ? 0 : k + 1;
  int mag = e < 0 ? -e : e;
  std::memcpy(p, "  0.", 4);
  digits(p + 8, v, 4);
  p[8] = 'E';
  p[9] = e < 0 ? '-' : '+';
  digits(p + 12, static_cast<uint32_t>(mag), 2);
  return p + 12;
}

char* text(char* p, const char* s) {
  size_t n = std::strlen(s);
  std::memcpy(p, s, n);
  return p + n;
}

// A list-directed double: two blanks and nine significant digits, with a
// point always.
char* g9(char* p, double x) {
  char buf[32];
  int n = std::snprintf(buf, sizeof buf, "%.9G", x);
  p = text(text(p, "  "), buf);
  if (std::memchr(buf, '.', static_cast<size_t>(n)) == nullptr) *p++ = '.';
  return p;
}

char* i1(char* p, int n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, " %d", n);
  return text(p, buf);
}

void put(const char* name, const char* s, const char* e) {
  int fd = open(name, O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (fd < 0 || write(fd, s, static_cast<size_t>(e - s)) != e - s) std::abort();
  close(fd);
}

}  // namespace

int main() {
  const double dt = 0.01, tau = 3.8, fc = 1 / tau, tau2 = tau / 2.0, pai = 3.141592654;
  char* c = text(con, "\n Slip Velocity Function using Smooth Ramp Distribution\n\n  dt,nt=");
  c = i1(g9(c, dt), kNt);
  c = g9(g9(text(c, "\n  fc (Hz) and Tau(s)="), fc), tau);
  c = text(c,
           "\n\n  Slip functions are stored in Ramp_Slip.csv\n"
           "  Fourier spectrum is stored in Ramp_Amp.csv\n");

  char* p = text(slip, " time(s),velocity,displacement,acceleration\n");
  double tanhf = std::tanh((fc * 4.0) * (-tau2));
  svwave[0] = (fc + fc) * (1 - tanhf * tanhf);
  double row[4] = {0.0, svwave[0], (1 + tanhf) * 0.5, 0.0};
  for (int i = 1;; ++i) {
    p = fixed<8, 4>(p, row[0]);
    for (int j = 1; j < 4; ++j) {
      *p++ = ',';
      p = fixed<15, 7>(p, row[j]);
    }
    *p++ = '\n';
    if (i == kNt) break;
    double t = static_cast<double>(i) * dt;
    tanhf = std::tanh((fc * 4.0) * (t - tau2));
    svwave[i] = (fc + fc) * (1 - tanhf * tanhf);
    row[0] = t;
    row[1] = svwave[i];
    row[2] = (1 + tanhf) * 0.5;
    row[3] = (svwave[i] - svwave[i - 1]) / dt;
  }
  put("Ramp_Slip.csv", slip, p);

  const double dur = static_cast<double>(kNt) * dt, dom = (pai + pai) / dur;
  const int nom = kNt / 2;
  const double eom = static_cast<double>(nom) * dom;
  c = g9(g9(text(c, "\n  DUR,DOM,NOM,EOM="), dur), dom);
  c = text(g9(text(g9(i1(c, nom), eom), "\n  Highest Frequency (hz)="), eom / 6.283185307), "\n");

  for (int i = 0; i < kNt; ++i) svamp[i] = complex{svwave[i], 0.0};
  spectral::dwvfast(kNt, svamp, kMom, -1);
  p = text(amp, " freq(Hz),abs(vel),abs(acc)\n");
  for (int k = 2; k <= nom; ++k) {
    double om = static_cast<double>(k - 1) * dom;
    double freq = om / (pai + pai);
    complex z{svamp[k - 1].r, -svamp[k - 1].i};
    svamp[k - 1] = complex{z.r * dt - z.i * 0.0, z.r * 0.0 + z.i * dt};
    double a = spectral::z_abs(&svamp[k - 1]);
    double b = spectral::z_abs(&svamp[k - 1]) * om;
    p = fixed<8, 4>(p, freq);
    *p++ = ',';
    p = expo(p, a);
    *p++ = ',';
    p = expo(p, b);
    p = text(p, ",\n");
  }
  put("Ramp_Amp.csv", amp, p);

  c = text(c, "\n Hit any key to stop\n");
  if (write(1, con, static_cast<size_t>(c - con)) != c - con) return 1;
  for (char ch; read(0, &ch, 1) == 1 && ch != '\n';) {
  }
  return 0;
}
