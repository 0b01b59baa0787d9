// The floor of the whole-run comparison: a straight program that writes the
// same bytes as Ramp-SlipV (console, Ramp_Slip.csv, Ramp_Amp.csv). It computes
// every value the same way, with the same mathematical library calls in the
// same order, converts every F and E field exactly by integer arithmetic into
// one buffer per output, and writes each output with one system write. Linked
// statically, like the Release program. With the argument 16777216, the run
// of 2^24 samples (as `Ramp-SlipV -n 16777216`: the time and frequency
// columns in F11.4 and F11.7), whose rows go to the files a megabyte at a
// time, as the program's units hand them over (big_run).
#include <fcntl.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "spectral.h"

namespace {

using spectral::complex;
__extension__ typedef unsigned __int128 u128;

constexpr int kMom = 16400;
constexpr int kNt = 8192, kBigNt = 1 << 24;
double svwave[kMom];
complex svamp[kMom];

char slip[64 + kNt * 57 + 16];
char amp[64 + kNt / 2 * 36 + 16];
char con[1024];

// 10^d for d < 10 with its leading bit moved to the top: 10^d = kPow10[d] / 2^kZ[d].
constexpr uint64_t kPow10[10] = {
    1ull << 63,      10ull << 60,      100ull << 57,      1000ull << 54,      10000ull << 50,
    100000ull << 47, 1000000ull << 44, 10000000ull << 40, 100000000ull << 37, 1000000000ull << 34};
constexpr int kZ[10] = {63, 60, 57, 54, 50, 47, 44, 40, 37, 34};

// x * 10^d rounded to the nearest integer, ties to even, for 0 <= x and
// d < 8 with a result below 2^63: both significands moved to the top of 64
// bits, their 128-bit product, whose high word shifted right by r is the
// integer part; the bits shifted out and the low word decide the rounding.
uint64_t scaled(double x, int d) {
  uint64_t bits = std::bit_cast<uint64_t>(x);
  int e = static_cast<int>(bits >> 52);
  if (e == 0) return 0;  // zero (the program writes no subnormal)
  u128 p = static_cast<u128>(bits << 11 | 1ull << 63) * kPow10[d];
  uint64_t hi = static_cast<uint64_t>(p >> 64), lo = static_cast<uint64_t>(p);
  int r = 1022 + kZ[d] - e;  // x * 10^d = (hi + lo / 2^64) / 2^r
  if (r <= 0) std::abort();  // not in this program
  if (r >= 64) return r == 64 && (hi | (lo != 0)) > 1ull << 63;
  uint64_t q = hi >> r, f = hi << (64 - r) | (lo != 0);  // f: the fraction, from its top bit
  return q + (f > (1ull << 63) - (q & 1));               // above a half, or a half and q odd
}

// The eight decimal digits of v < 10^8 as ASCII, the most significant in the
// lowest byte: halves, pairs and digits split in parallel lanes of one word.
uint64_t digits8(uint64_t v) {
  uint64_t halves = v / 10000 | (v % 10000) << 32;
  uint64_t hi2 = (halves * 10486 >> 20) & 0x0000007F0000007F;  // each lane / 100
  uint64_t pairs = (halves - 100 * hi2) << 16 | hi2;
  uint64_t tens = (pairs * 103 >> 10) & 0x000F000F000F000F;  // each lane / 10
  return tens | (pairs - 10 * tens) << 8;
}

void store8(char* p, uint64_t v) {
  v |= 0x3030303030303030;  // the digits' ASCII
  std::memcpy(p, &v, 8);
}

// An FW.D field of v = x 10^D > 0 of nine to sixteen digits: the times and
// frequencies of a run of 2^24 samples.
template <int W, int D>
[[gnu::noinline]] char* fixed_wide(char* p, uint64_t v) {
  std::memcpy(p, "                ", 16);
  uint64_t hi = v / 100000000, lo = v % 100000000;
  int nd = 8 - std::countr_zero(digits8(hi)) / 8;  // hi's digits
  store8(p + W - 9 - nd, digits8(hi) >> 8 * (8 - nd));
  char* e = p + W - D - 1;  // the point
  store8(e - (8 - D), digits8(lo));
  std::memmove(e + 1, e, D);
  *e = '.';
  return p + W;
}

// An FW.D field (W <= 16): blanks, a minus sign unless the value rounds to
// zero, the integer digits (a "0" below 1), the point and D digits. The
// stores pass the field's end by up to eight bytes, which the next field or
// the row's end overwrites. The program's values have at most eight digits,
// but for the times and frequencies of a run of 2^24 samples (fixed_time).
template <int W, int D>
char* fixed(char* p, double x) {
  bool neg = x < 0;
  uint64_t v = scaled(neg ? -x : x, D);
  if (v >= 100000000) std::abort();  // not in this program
  uint64_t dig = digits8(v);
  int nd = v == 0 ? 0 : 8 - std::countr_zero(dig) / 8;  // significant digits
  int ilen = nd > D ? nd - D : 1;
  std::memcpy(p, "                ", 16);
  char* e = p + W - D - 1;  // the point
  if (neg && v != 0) e[-ilen - 1] = '-';
  store8(e - ilen, dig >> 8 * (8 - D - ilen));
  *e = '.';
  store8(e + 1, dig >> 8 * (8 - D));
  return p + W;
}

// An FW.D field of x >= 0 of up to sixteen digits: a time or a frequency.
template <int W, int D>
char* fixed_time(char* p, double x) {
  constexpr double kNarrow = [] {  // below it, fewer than nine digits
    double n = 1;
    for (int i = D; i < 8; ++i) n *= 10;
    return n - 1;
  }();
  if (x < kNarrow) return fixed<W, D>(p, x);
  uint64_t v = scaled(x, D);
  return v < 100000000 ? fixed<W, D>(p, x) : fixed_wide<W, D>(p, v);
}

constexpr char kPairs[201] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// An E12.4 field of x >= 0: "  0.dddd", "E", the exponent's sign and two
// digits; x = 0.dddd times ten to that exponent.
char* expo(char* p, double x) {
  uint64_t v = 0;
  int k = -1;  // x = v x 10^(k - 3), 1000 <= v < 10000
  if (x != 0) {
    // log10(2) ~ 78913 / 2^18: a first k from the binary exponent, low by at
    // most one; the rounding may carry v to 10000.
    k = ((static_cast<int>(std::bit_cast<uint64_t>(x) >> 52) - 1023) * 78913) >> 18;
    while (3 - k >= 0 && (v = scaled(x, 3 - k)) >= 10000) ++k;
    if (3 - k < 0 || v < 1000) std::abort();  // x >= 10^4 or x < 10^-4: not in this program
  }
  int e = k + 1, mag = e < 0 ? -e : e;
  std::memcpy(p, "  0.", 4);
  std::memcpy(p + 4, &kPairs[2 * (v / 100)], 2);
  std::memcpy(p + 6, &kPairs[2 * (v % 100)], 2);
  p[8] = 'E';
  p[9] = e < 0 ? '-' : '+';
  std::memcpy(p + 10, &kPairs[2 * mag], 2);
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

// A file written a megabyte at a time, from a buffer that is used again.
struct spilled {
  static constexpr ptrdiff_t kSpill = 1 << 20;
  int fd;
  char* buf = static_cast<char*>(std::malloc(kSpill + 256));
  explicit spilled(const char* name) : fd(open(name, O_WRONLY | O_CREAT | O_TRUNC, 0666)) {
    if (fd < 0 || buf == nullptr) std::abort();
  }
  void put(const char* e) {
    if (write(fd, buf, static_cast<size_t>(e - buf)) != e - buf) std::abort();
  }
  // After each row: where the next goes.
  char* row_end(char* p) {
    if (p - buf < kSpill) return p;
    put(p);
    return buf;
  }
};

// The run of 2^24 samples, as the default one below but for its sizes, its
// wider time and frequency fields and its files written as they fill.
int big_run() {
  constexpr int nt = kBigNt, mom = nt + 1;
  auto* wave = static_cast<double*>(std::calloc(mom, sizeof(double)));
  auto* spectrum = static_cast<complex*>(std::calloc(mom, sizeof(complex)));
  if (wave == nullptr || spectrum == nullptr) return 1;
  const double dt = 0.01, tau = 3.8, fc = 1 / tau, tau2 = tau / 2.0, pai = 3.141592654;
  char* c = text(con, "\n Slip Velocity Function using Smooth Ramp Distribution\n\n  dt,nt=");
  c = i1(g9(c, dt), nt);
  c = g9(g9(text(c, "\n  fc (Hz) and Tau(s)="), fc), tau);
  c = text(c,
           "\n\n  Slip functions are stored in Ramp_Slip.csv\n"
           "  Fourier spectrum is stored in Ramp_Amp.csv\n");

  spilled slip("Ramp_Slip.csv");
  char* p = text(slip.buf, " time(s),velocity,displacement,acceleration\n");
  double tanhf = std::tanh((fc * 4.0) * (-tau2));
  wave[0] = (fc + fc) * (1 - tanhf * tanhf);
  double row[4] = {0.0, wave[0], (1 + tanhf) * 0.5, 0.0};
  for (int i = 1;; ++i) {
    p = fixed_time<11, 4>(p, row[0]);
    for (int j = 1; j < 4; ++j) {
      *p++ = ',';
      p = fixed<15, 7>(p, row[j]);
    }
    *p++ = '\n';
    p = slip.row_end(p);
    if (i == nt) break;
    double t = static_cast<double>(i) * dt;
    tanhf = std::tanh((fc * 4.0) * (t - tau2));
    wave[i] = (fc + fc) * (1 - tanhf * tanhf);
    row[0] = t;
    row[1] = wave[i];
    row[2] = (1 + tanhf) * 0.5;
    row[3] = (wave[i] - wave[i - 1]) / dt;
  }
  slip.put(p);

  const double dur = static_cast<double>(nt) * dt, dom = (pai + pai) / dur;
  const int nom = nt / 2;
  const double eom = static_cast<double>(nom) * dom;
  c = g9(g9(text(c, "\n  DUR,DOM,NOM,EOM="), dur), dom);
  c = text(g9(text(g9(i1(c, nom), eom), "\n  Highest Frequency (hz)="), eom / 6.283185307), "\n");

  for (int i = 0; i < nt; ++i) spectrum[i] = complex{wave[i], 0.0};
  spectral::dwvfast(nt, spectrum, mom, -1);
  spilled amp("Ramp_Amp.csv");
  p = text(amp.buf, " freq(Hz),abs(vel),abs(acc)\n");
  for (int k = 2; k <= nom; ++k) {
    double om = static_cast<double>(k - 1) * dom;
    double freq = om / (pai + pai);
    complex z{spectrum[k - 1].r, -spectrum[k - 1].i};
    spectrum[k - 1] = complex{z.r * dt - z.i * 0.0, z.r * 0.0 + z.i * dt};
    double a = spectral::z_abs(&spectrum[k - 1]);
    double b = spectral::z_abs(&spectrum[k - 1]) * om;
    p = fixed_time<11, 7>(p, freq);
    *p++ = ',';
    p = expo(p, a);
    *p++ = ',';
    p = expo(p, b);
    p = amp.row_end(text(p, ",\n"));
  }
  amp.put(p);

  c = text(c, "\n Hit any key to stop\n");
  if (write(1, con, static_cast<size_t>(c - con)) != c - con) return 1;
  for (char ch; read(0, &ch, 1) == 1 && ch != '\n';) {
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) return std::atoi(argv[1]) == kBigNt ? big_run() : 2;
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
