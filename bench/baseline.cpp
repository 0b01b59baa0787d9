// A straight program that computes the same values as Ramp-SlipV and writes
// the same three outputs, each built with std::to_chars in one buffer and
// written at once. It is the yardstick of the whole-run comparison.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "spectral.h"

namespace {

using spectral::complex;

constexpr int kMom = 16400;
double svwave[kMom];
complex svamp[kMom];

// Right-aligns x with d digits after the point in w columns; a value that
// rounds to zero has no sign. The system's values always fit.
void fixed(std::string& out, double x, int w, int d) {
  char buf[64];
  bool neg = x < 0;
  if (neg) x = -x;
  char* end = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, d).ptr;
  if (neg && std::strspn(buf, "0.") == static_cast<size_t>(end - buf)) neg = false;
  int n = static_cast<int>(end - buf) + (neg ? 1 : 0);
  out.append(static_cast<size_t>(w - n), ' ');
  if (neg) out += '-';
  out.append(buf, end);
}

// Writes x >= 0 as "  0.dddd" times ten to a two-digit exponent, in 12 columns.
void expo(std::string& out, double x) {
  char buf[32];
  char* end = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, 3).ptr;
  int e = 0;
  std::from_chars(buf + 7, end, e);
  e = x == 0 ? 0 : (buf[6] == '-' ? -e : e) + 1;
  int m = e < 0 ? -e : e;
  const char field[12] = {' ',
                          ' ',
                          '0',
                          '.',
                          buf[0],
                          buf[2],
                          buf[3],
                          buf[4],
                          'E',
                          e < 0 ? '-' : '+',
                          static_cast<char>('0' + m / 10),
                          static_cast<char>('0' + m % 10)};
  out.append(field, sizeof field);
}

// A list-directed double: blank, sign position, nine significant digits.
std::string g9(double x) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.9G", x);
  std::string s = buf;
  if (s.find('.') == std::string::npos) s += '.';
  return "  " + s;
}

void put(const std::string& s, const char* name) {
  FILE* f = std::fopen(name, "w");
  std::fwrite(s.data(), 1, s.size(), f);
  std::fclose(f);
}

}  // namespace

int main() {
  const double dt = 0.01, tau = 3.8, fc = 1 / tau, tau2 = tau / 2.0, pai = 3.141592654;
  const int nt = 8192;
  std::string con = "\n Slip Velocity Function using Smooth Ramp Distribution\n\n";
  con += "  dt,nt=" + g9(dt) + " " + std::to_string(nt) + "\n";
  con += "  fc (Hz) and Tau(s)=" + g9(fc) + g9(tau) + "\n\n";
  con += "  Slip functions are stored in Ramp_Slip.csv\n";
  con += "  Fourier spectrum is stored in Ramp_Amp.csv\n";

  std::string slip = " time(s),velocity,displacement,acceleration\n";
  slip.reserve(8193 * 57);
  for (int i = 1; i <= nt; ++i) {
    double t = i == 1 ? 0.0 : static_cast<double>(i - 1) * dt;
    double tanhf = std::tanh((fc * 4.0) * (i == 1 ? -tau2 : t - tau2));
    svwave[i - 1] = (fc + fc) * (1 - tanhf * tanhf);
    double svs = (1 + tanhf) * 0.5;
    double sva = i == 1 ? 0.0 : (svwave[i - 1] - svwave[i - 2]) / dt;
    fixed(slip, t, 8, 4);
    for (double v : {svwave[i - 1], svs, sva}) {
      slip += ',';
      fixed(slip, v, 15, 7);
    }
    slip += '\n';
  }
  put(slip, "Ramp_Slip.csv");

  const double dur = nt * dt, dom = (pai + pai) / dur, eom = (nt / 2) * dom;
  con += "\n  DUR,DOM,NOM,EOM=" + g9(dur) + g9(dom) + " " + std::to_string(nt / 2) + g9(eom) + "\n";
  con += "  Highest Frequency (hz)=" + g9(eom / 6.283185307) + "\n";

  for (int i = 0; i < nt; ++i) svamp[i] = {svwave[i], 0.0};
  spectral::dwvfast(nt, svamp, kMom, -1);
  std::string amp = " freq(Hz),abs(vel),abs(acc)\n";
  amp.reserve(4096 * 36);
  for (int k = 2; k <= nt / 2; ++k) {
    double om = (k - 1) * dom;
    complex c{svamp[k - 1].r * dt, -svamp[k - 1].i * dt};
    double a = spectral::z_abs(&c);
    fixed(amp, om / (pai + pai), 8, 4);
    amp += ',';
    expo(amp, a);
    amp += ',';
    expo(amp, a * om);
    amp += ",\n";
  }
  put(amp, "Ramp_Amp.csv");

  con += "\n Hit any key to stop\n";
  std::fwrite(con.data(), 1, con.size(), stdout);
  std::fflush(stdout);
  for (int ch; (ch = std::getchar()) != EOF && ch != '\n';) {
  }
  return 0;
}
