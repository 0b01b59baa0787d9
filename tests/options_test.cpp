// The command line and the row formats, in process: each argument list and
// what it gives, values or the words of its fault.
#include "options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "decimal.h"
#include "layout.h"

namespace {

using ramp::action;

struct Case {
  std::vector<const char*> args;
  action what;
  std::string error = {};  // for a usage error: words of its line
  double tau = 0, dt = 0;  // for a run: the values given
  int32_t nt = 0;
  double centre = 0;
  bool wait = true;
};

TEST(OptionParsing, ValuesAndFaults) {
  const Case cases[] = {
      {{}, action::run, "", 3.8, 0.01, 8192, 1.9},
      {{"-r", "2.5", "-d0.005", "--samples=1024", "--centre", "5", "--no-wait"},
       action::run,
       "",
       2.5,
       0.005,
       1024,
       5,
       false},
      {{"--rise=1e-3", "--dt", "1E-4", "-n", "16777216", "--"},
       action::run,
       "",
       1e-3,
       1e-4,
       1 << 24,
       5e-4},
      {{"-n", "2", "-r", "1e9", "-d", "1e-9"}, action::run, "", 1e9, 1e-9, 2, 5e8},
      // Every text gives the double of the same literal, on every library: a
      // tie between two doubles goes to the even one, anything past it up.
      {{"-r", "1.00000000000000011102230246251565404236316680908203125", "-d",
        "1.000000000000000111022302462515654042363166809082031250001", "-c",
        "999999999.999999940395355224609375"},
       action::run,
       "",
       1.0,
       1.0000000000000002,
       8192,
       1e9},
      {{"-r", "3.79999999999999982236431605997495353221893310546875", "-d",
        "0.0100000000000000000000000000000000000000000000000000000000001", "-c",
        "999999999.9999999403953552246093749999999999999999999"},
       action::run,
       "",
       3.8,
       0.01,
       8192,
       999999999.99999988},
      {{"-r", "38e-1", "-d", "1000000e-8", "-c", ".000000001"},
       action::run,
       "",
       3.8,
       0.01,
       8192,
       1e-9},
      {{"-h"}, action::help},
      {{"--no-wait", "--version"}, action::version},
      {{"-r", "3.8x"}, action::usage_error, "'3.8x' for --rise-time: a number of seconds"},
      {{"-d", "0.01.2"}, action::usage_error, "'0.01.2' for --dt"},
      {{"-n", "2x"}, action::usage_error, "'2x' for --samples: a power of two"},
      {{"-r", "nan"}, action::usage_error, "'nan'"},
      {{"-r", "inf"}, action::usage_error, "'inf'"},
      {{"-r", "+1"}, action::usage_error, "'+1'"},
      {{"-r", " 1"}, action::usage_error, "' 1'"},
      {{"-r", "0x1p3"}, action::usage_error, "'0x1p3'"},
      {{"-r", "1e"}, action::usage_error, "'1e'"},
      {{"-r", "."}, action::usage_error, "'.'"},
      {{"-d", "1e999"}, action::usage_error, "'1e999'"},
      {{"-c", "0"}, action::usage_error, "'0' for --centre"},
      {{"-d", "-0.01"}, action::usage_error, "'-0.01' for --dt"},
      {{"-r", "2e9"}, action::usage_error, "from 1e-9 to 1e9"},
      {{"-n", "1000"}, action::usage_error, "the nearest are 512 and 1024"},
      {{"-n", "0"}, action::usage_error, "'0' for --samples"},
      {{"-n", "1"}, action::usage_error, "'1' for --samples"},
      {{"-n", "33554432"}, action::usage_error, "16777216 is the largest"},
      {{"-n", "99999999999999999999"}, action::usage_error, "16777216 is the largest"},
      {{"--dt="}, action::usage_error, "option --dt needs a value"},
      {{"-r"}, action::usage_error, "option --rise-time needs a value"},
      {{"-C", "/no/such/folder"}, action::usage_error, "an existing folder"},
      {{"--no-wait=1"}, action::usage_error, "option --no-wait takes no value"},
      {{"--bogus"}, action::usage_error, "unknown option '--bogus': the options are"},
      {{"-x"}, action::usage_error, "unknown option '-x'"},
      {{"--d", "1"}, action::usage_error, "ambiguous option '--d': --dt or --directory"},
      {{"stray"}, action::usage_error, "unexpected argument 'stray'"},
      {{"--", "-r"}, action::usage_error, "unexpected argument '-r'"},
      {{"/?"}, action::usage_error, "unexpected argument '/?'"},
  };
  for (const Case& k : cases) {
    std::string shown;
    for (const char* a : k.args) shown += std::string(a) + " ";
    ramp::command c = ramp::parse_options(k.args, false);
    ASSERT_EQ(c.what, k.what) << shown << c.error;
    if (k.what == action::usage_error) {
      EXPECT_NE(c.error.find(k.error), std::string::npos) << shown << c.error;
    } else if (k.what == action::run) {
      EXPECT_EQ(c.opts.tau, k.tau) << shown;
      EXPECT_EQ(c.opts.dt, k.dt) << shown;
      EXPECT_EQ(c.opts.nt, k.nt) << shown;
      EXPECT_EQ(c.opts.centre, k.centre) << shown;
      EXPECT_EQ(c.opts.wait, k.wait) << shown;
    }
  }
  // Windows takes "/?" for help; a folder that exists is taken.
  std::vector<const char*> help{"/?"}, folder{"-C", "."};
  EXPECT_EQ(ramp::parse_options(help, true).what, action::help);
  EXPECT_EQ(ramp::parse_options(folder, false).opts.directory, ".");
}

// Texts at random, of many lengths and exponents: the reader of the options
// gives the double that the library's own reader gives, where it has one
// (std::from_chars, or else the C library's in the "C" locale).
TEST(OptionParsing, NumbersReadAsTheLibraryReadsThem) {
  std::mt19937_64 gen(20261209);
  for (int i = 0; i < 20000; ++i) {
    std::string text = std::to_string(gen() % 100000) + ".";
    text += std::to_string(gen());
    uint64_t more = gen();
    text += std::to_string(more >> (more % 64)) + "e";
    text += std::to_string(static_cast<int>(gen() % 600) - 300);
    double x = 0, want = 0;
#ifdef __cpp_lib_to_chars
    std::from_chars(text.data(), text.data() + text.size(), want);
#else
    want = std::strtod(text.c_str(), nullptr);
#endif
    ASSERT_TRUE(ramp::read_decimal(text, &x)) << text;
    ASSERT_EQ(x, want) << text;
  }
}

TEST(OptionParsing, WarningsOfUnwiseParameters) {
  ramp::options o;  // the defaults warn of nothing
  o.centre = 1.9;
  EXPECT_TRUE(ramp::warnings(o).empty());
  o.nt = 512;  // ends at 5.11 s, before 1.9 + 3.8
  ASSERT_EQ(ramp::warnings(o).size(), 1u);
  EXPECT_NE(ramp::warnings(o)[0].find("ends at 5.11 s, before the ramp has settled at 5.7 s"),
            std::string::npos);
  o.nt = 8192;
  for (double dt : {0.37, 0.39, 0.5}) {  // warned above a tenth of the rise time
    o.dt = dt;
    ASSERT_EQ(ramp::warnings(o).size(), dt > 0.38 ? 1u : 0u) << dt;
    if (dt > 0.38) {
      EXPECT_NE(ramp::warnings(o)[0].find("fewer than 10 times"), std::string::npos);
    }
  }
}

// Each column's field from the parameters (' stands for the byte 0x02): the
// default where it keeps the times and frequencies within a twentieth of a
// step and shows the largest velocity and acceleration to six digits; more
// decimals, or an E field, where it would not; wider where a value would not
// fit.
TEST(Layout, ColumnsFollowTheParameters) {
  const char *slip = "(F8.4,3(',',F15.7))", *amp = "(F8.4,3(',',E12.4))";
  const double pai = 3.141592654;
  struct Case {
    double dt;
    int32_t nt;
    double tau, centre;
    const char *slip, *amp;
  };
  for (const Case& k :
       {Case{0.01, 8192, 3.8, 1.9, slip, amp}, Case{0.005, 16384, 2.5, 1.25, slip, amp},
        Case{0.02, 4096, 1, 0.5, slip, amp}, Case{0.001, 65536, 0.5, 0.25, slip, amp},
        Case{0.0005, 8192, 3.8, 1.9, slip, amp},  // 0.0005 needs no fifth decimal
        Case{0.000867, 32, 3.8, 1.9, slip, amp},  // 31 steps round within 0.43 of 8.67 units
        Case{0.000867, 64, 3.8, 1.9, "(F9.5,3(',',F15.7))", amp},
        Case{0.1, 8192, 3.8, 1.9, slip, amp},  // 819.1 s still fits
        Case{1e-4, 1024, 3.8, 1.9, slip, "(F9.4,3(',',E12.4))"},
        // The last line of four samples 0.00025 s apart is at 1000 Hz.
        Case{0.00025, 4, 3.8, 1.9, "(F9.5,3(',',F15.7))", "(F9.4,3(',',E12.4))"},
        // The last line at 1000.02 Hz, the one before at 999.05 Hz.
        Case{0.0004995, 2048, 3.8, 1.9, "(F9.5,3(',',F15.7))", "(F9.4,3(',',E12.4))"},
        Case{0.01, 1 << 24, 3.8, 1.9, "(F11.4,3(',',F15.7))", "(F11.7,3(',',E12.4))"},
        Case{0.00025, 32768, 2, 1, "(F9.5,3(',',F15.7))", "(F9.4,3(',',E12.4))"},
        Case{5e-5, 65536, 1, 0.5, "(F9.5,3(',',F15.7))", "(F9.4,3(',',E12.4))"},
        Case{1e-6, 1024, 1e-4, 5e-5, "(F10.6,',',F15.7,',',F15.7,',',F18.7)",
             "(F11.4,3(',',E12.4))"},
        Case{600, 1024, 86400, 43200, "(F11.4,',',E15.7,',',F15.7,',',E15.7)",
             "(F11.7,3(',',E12.4))"},
        // The largest acceleration shown by F15.7 to six digits (0.0100130) or five.
        Case{0.01, 8192, 24.8, 12.4, slip, amp},
        Case{0.01, 8192, 24.82, 12.41, "(F8.4,',',F15.7,',',F15.7,',',E15.7)", amp},
        // A centre beyond the series: every velocity 0, or at most 5.7e-6.
        Case{0.01, 1024, 1, 30, slip, amp},
        Case{0.01, 1024, 1, 12, "(F8.4,',',E15.7,',',F15.7,',',E15.7)", amp},
        // A centre just after the first row: no difference before it.
        Case{0.01, 8192, 100, 1e-9, "(F8.4,',',F15.7,',',F15.7,',',E15.7)", amp},
        // Equal velocities around the places looked at: every row's differences searched.
        Case{1.67e-5, 4096, 0.526, 2.14, "(F10.6,',',E15.7,',',F15.7,',',E15.7)",
             "(F10.4,3(',',E12.4))"},
        Case{1e9, 1024, 1e9, 5e8, "(F18.4,',',E15.7,',',F15.7,',',E15.7)", "(E13.5,3(',',E12.4))"},
        Case{1e-7, 64, 1e-6, 5e-7, "(F11.7,',',F15.7,',',F15.7,',',F22.7)", "(F12.4,3(',',E12.4))"},
        Case{1e-9, 64, 1e-9, 5e-10, "(F13.9,',',F18.7,',',F15.7,',',F28.7)",
             "(F14.4,3(',',E12.4))"}}) {
    std::string s = ramp::slip_format(k.dt, k.nt, 1 / k.tau, k.centre),
                a = ramp::amp_format((pai + pai) / (k.nt * k.dt), k.nt / 2);
    std::replace(s.begin(), s.end(), '\x02', '\'');
    std::replace(a.begin(), a.end(), '\x02', '\'');
    EXPECT_EQ(s, k.slip) << k.dt << " " << k.nt << " " << k.tau << " " << k.centre;
    EXPECT_EQ(a, k.amp) << k.dt << " " << k.nt;
  }
  // A field is as wide as the text of the largest value, its sign included.
  EXPECT_EQ(ramp::fit_width(8, 4, 999.99994, false), 8);
  EXPECT_EQ(ramp::fit_width(8, 4, 999.99996, false), 9);  // rounds to 1000.0000
  EXPECT_EQ(ramp::fit_width(15, 7, 99999999.5, false), 16);
  EXPECT_EQ(ramp::fit_width(15, 7, 999999.5, true), 15);
  EXPECT_EQ(ramp::fit_width(15, 7, 9999999.5, true), 16);
}

}  // namespace
