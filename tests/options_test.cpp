// The command line and the row formats, in process: each argument list and
// what it gives, values or the words of its fault.
#include "options.h"

#include <gtest/gtest.h>

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
  o.dt = 0.5;  // fewer than 10 samples in the rise time
  ASSERT_EQ(ramp::warnings(o).size(), 1u);
  EXPECT_NE(ramp::warnings(o)[0].find("fewer than 10 times"), std::string::npos);
}

TEST(Layout, ColumnsWidenOnlyWhereTheirValuesWouldNotFit) {
  const std::string slip = "(F8.4,3(\x02,\x02,F15.7))", amp = "(F8.4,3(\x02,\x02,E12.4))";
  const double pai = 3.141592654;
  EXPECT_EQ(ramp::slip_format(0.01, 8192, 1 / 3.8), slip);
  EXPECT_EQ(ramp::amp_format((pai + pai) / 81.92, 4096), amp);
  EXPECT_EQ(ramp::slip_format(0.01, 1 << 24, 1 / 3.8), "(F11.4,3(\x02,\x02,F15.7))");
  EXPECT_EQ(ramp::slip_format(0.1, 8192, 1 / 3.8), slip);  // 819.1 s still fits
  EXPECT_EQ(ramp::slip_format(1e-7, 64, 1e6),
            "(F8.4,\x02,\x02,F15.7,\x02,\x02,F15.7,\x02,\x02,F22.7)");
  EXPECT_EQ(ramp::slip_format(1e-9, 64, 1e9),
            "(F8.4,\x02,\x02,F18.7,\x02,\x02,F15.7,\x02,\x02,F28.7)");
  EXPECT_EQ(ramp::amp_format((pai + pai) / (1024 * 1e-4), 512), "(F9.4,3(\x02,\x02,E12.4))");
  // A field is as wide as the text of the largest value, its sign included.
  EXPECT_EQ(ramp::fit_width(8, 4, 999.99994, false), 8);
  EXPECT_EQ(ramp::fit_width(8, 4, 999.99996, false), 9);  // rounds to 1000.0000
  EXPECT_EQ(ramp::fit_width(15, 7, 99999999.5, false), 16);
  EXPECT_EQ(ramp::fit_width(15, 7, 999999.5, true), 15);
  EXPECT_EQ(ramp::fit_width(15, 7, 9999999.5, true), 16);
}

}  // namespace
