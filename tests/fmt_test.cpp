// Formatted records: field texts, literals, groups, reversion and the
// termination rule.
#include "format/fmt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "field_reference.h"
#include "spawn.h"
#include "statements.h"
#include "unit_harness.h"

using namespace testing_support;

namespace {

TEST(FField, WidthsRoundingAndSigns) {
  EXPECT_EQ(field("F8.4", 0.5), "  0.5000");
  EXPECT_EQ(field("F8.4", -0.5), " -0.5000");
  EXPECT_EQ(field("F8.4", 81.91), " 81.9100");
  EXPECT_EQ(field("F8.4", 0.0), "  0.0000");
  EXPECT_EQ(field("F8.4", -0.0), "  0.0000");
  EXPECT_EQ(field("F8.4", -0.00001), "  0.0000");
  EXPECT_EQ(field("F8.4", 0.00005001), "  0.0001");
  EXPECT_EQ(field("F15.7", -0.0058313231), "     -0.0058313");
  EXPECT_EQ(field("F15.7", -1e-12), "      0.0000000");
  EXPECT_EQ(field("F8.0", 12.0), "     12.");
  EXPECT_EQ(field("F1.0", 0.2), ".");
  EXPECT_EQ(field("f8.4", 2.0), "  2.0000");
  // Around the limits of the short path: sixteen columns, eight digits.
  EXPECT_EQ(field("F16.7", 9.9999999), "       9.9999999");
  EXPECT_EQ(field("F16.7", -10.0), "     -10.0000000");
  EXPECT_EQ(field("F17.7", 12.5), "       12.5000000");
  EXPECT_EQ(field("F8.7", 0.5), ".5000000");
  EXPECT_EQ(field("F16.8", 0.5), "      0.50000000");
  // Nine to sixteen digits: the widened time column of a long run.
  EXPECT_EQ(field("F11.4", 167772.15), "167772.1500");
  EXPECT_EQ(field("F11.4", -16777.215), "-16777.2150");
  EXPECT_EQ(field("F10.4", 167772.15), "**********");
  EXPECT_EQ(field("F16.7", 99999999.0), "99999999.0000000");
  EXPECT_EQ(field("F16.0", 123456789012345.0), "123456789012345.");
  // Single-precision values, each in a field of a planned format.
  EXPECT_EQ(on_unit([] {
              const rio::cilist io{0, kUnit, 0, "(F8.4,E12.4)", 0};
              float v[2] = {0.1f, -2.5f};
              int32_t one = 1;
              rio::s_wsfe(&io);
              for (float& x : v) rio::do_fio(&one, &x, sizeof x);
              rio::e_wsfe();
            }),
            "  0.1000 -0.2500E+01\n");
}

TEST(FField, AsterisksAndTheLeadingZero) {
  EXPECT_EQ(field("F8.4", 1234.5678), "********");
  EXPECT_EQ(field("F8.4", 999.99995), "********");
  EXPECT_EQ(field("F8.4", 999.9999), "999.9999");
  EXPECT_EQ(field("F15.7", 1e7), "***************");
  EXPECT_EQ(field("F15.7", 9999999.0), "9999999.0000000");
  EXPECT_EQ(field("F6.4", 0.5), "0.5000");
  EXPECT_EQ(field("F6.4", -0.5), "-.5000");
  EXPECT_EQ(field("F5.4", 0.5), ".5000");
  EXPECT_EQ(field("F5.4", -0.5), "*****");
  EXPECT_EQ(field("F3.1", 1e300), "***");
}

TEST(FField, ManyDigits) {
  std::string r = field("F400.350", 1.0);
  EXPECT_EQ(r.size(), 400u);
  EXPECT_EQ(r.substr(0, 50), std::string(48, ' ') + "1.");
  EXPECT_EQ(r.substr(50), std::string(350, '0'));
}

TEST(EField, ExponentsAndRoom) {
  EXPECT_EQ(field("E12.4", 1234.5678), "  0.1235E+04");
  EXPECT_EQ(field("E12.4", 0.98033), "  0.9803E+00");
  EXPECT_EQ(field("E12.4", 0.075191), "  0.7519E-01");
  EXPECT_EQ(field("E12.4", 0.99995), "  0.1000E+01");
  EXPECT_EQ(field("E12.4", 0.0), "  0.0000E+00");
  EXPECT_EQ(field("E12.4", -0.0), "  0.0000E+00");
  EXPECT_EQ(field("E12.4", -0.5), " -0.5000E+00");
  EXPECT_EQ(field("E12.4", 1e-120), "  0.1000-119");
  EXPECT_EQ(field("E12.4", 1e300), "  0.1000+301");
  EXPECT_EQ(field("E12.4", 1e-99), "  0.1000E-98");
  EXPECT_EQ(field("E12.4", 1e99), "  0.1000+100");
  EXPECT_EQ(field("E12.4", 9.9999e98), "  0.1000+100");
  EXPECT_EQ(field("E12.4", 1e-100), "  0.1000E-99");
  EXPECT_EQ(field("E12.4", -9.99996), " -0.1000E+02");
  EXPECT_EQ(field("E16.8", 0.5), "  0.50000000E+00");
  EXPECT_EQ(field("E17.9", 0.5), "  0.500000000E+00");
  EXPECT_EQ(field("E10.4", 0.5), "0.5000E+00");
  EXPECT_EQ(field("E9.4", 0.5), ".5000E+00");
  EXPECT_EQ(field("E10.4", -0.5), "-.5000E+00");
  EXPECT_EQ(field("E8.4", 0.5), "********");
  EXPECT_EQ(field("E9.4", -0.5), "*********");
  EXPECT_EQ(field("e12.1", 26.0), "     0.3E+02");
}

TEST(Literals, DelimitersAndDoubling) {
  EXPECT_EQ(fmt("('ab',F4.1)", {1}), "ab 1.0\n");
  EXPECT_EQ(fmt("(\"ab\",F4.1)", {1}), "ab 1.0\n");
  EXPECT_EQ(fmt("(\x02"
                "ab\x02,F4.1)",
                {1}),
            "ab 1.0\n");
  EXPECT_EQ(fmt("('it''s')", {}), "it's\n");
  EXPECT_EQ(fmt("(\"say \"\"hi\"\"\",'\"')", {}), "say \"hi\"\"\n");
  EXPECT_EQ(fmt("('a)b')", {}), "a)b\n");
  // The same text again at another address: the literal is read from there,
  // not from the first copy, which has changed since.
  std::string first = "('ab',F4.1)", second = first;
  EXPECT_EQ(fmt(first.c_str(), {1}), "ab 1.0\n");
  first[2] = 'z';
  EXPECT_EQ(fmt(second.c_str(), {1}), "ab 1.0\n");
  // A changed text at the same address is parsed again.
  char text[] = "(F4.1,'x')";
  EXPECT_EQ(fmt(text, {1}), " 1.0x\n");
  text[2] = '5';
  EXPECT_EQ(fmt(text, {1}), "  1.0x\n");
  // Texts of 16 to 64 characters are compared a chunk at a time: a change in
  // the first chunk, in the last alone, and a text cut short in place.
  char chunks[] = "(F4.1,'abcdefghijklmnopq',F4.1)";
  EXPECT_EQ(fmt(chunks, {1, 2}), " 1.0abcdefghijklmnopq 2.0\n");
  chunks[2] = '5';
  EXPECT_EQ(fmt(chunks, {1, 2}), "  1.0abcdefghijklmnopq 2.0\n");
  chunks[27] = '5';
  EXPECT_EQ(fmt(chunks, {1, 2}), "  1.0abcdefghijklmnopq  2.0\n");
  chunks[5] = ')';
  chunks[6] = 0;
  EXPECT_EQ(fmt(chunks, {1, 2}), "  1.0\n  2.0\n");
  // Also between two statements on one unit, the second a repeat of the first.
  char again[] = "(F4.1,'abcdefghijklmnopq')";
  EXPECT_EQ(on_unit([&] {
              const rio::cilist io{0, kUnit, 0, again, 0};
              rio::row(io, 1.0);
              again[2] = '5';
              rio::row(io, 1.0);
            }),
            " 1.0abcdefghijklmnopq\n  1.0abcdefghijklmnopq\n");
}

TEST(Groups, RepeatsNestingAndBlanks) {
  EXPECT_EQ(fmt("(3F4.1)", {1, 2, 3}), " 1.0 2.0 3.0\n");
  EXPECT_EQ(fmt("(2(F4.1,'|'),F4.1)", {1, 2, 3}), " 1.0| 2.0| 3.0\n");
  EXPECT_EQ(fmt("(2(2('<',F3.0),'>'))", {1, 2, 3, 4}), "< 1.< 2.>< 3.< 4.>\n");
  EXPECT_EQ(fmt(" ( F 4 . 1 , 1 2 F4.1 )trailing", {1, 2}), " 1.0 2.0\n");
  // Eight groups inside the outer parentheses is as deep as a format goes.
  EXPECT_EQ(fmt("((((((((('x',F3.0)))))))))", {5}), "x 5.\n");
}

TEST(Groups, ReversionStartsNewRecords) {
  EXPECT_EQ(fmt("(2F4.1)", {1, 2, 3}), " 1.0 2.0\n 3.0\n");
  EXPECT_EQ(fmt("(F4.1,2(',',F4.1))", {1, 2, 3, 4, 5, 6, 7}),
            " 1.0, 2.0, 3.0\n, 4.0, 5.0\n, 6.0, 7.0\n");
  // A format without data descriptors transfers no value: each call for one
  // runs the format once more, as does the statement's end.
  EXPECT_EQ(fmt("('x')", {1, 2}), "xxx\n");
  EXPECT_EQ(fmt("('x')", {}), "x\n");
}

TEST(Termination, TheSystemsTwoFormats) {
  const char* slip = "(F8.4,3(\x02,\x02,F15.7))";
  const char* amp = "(F8.4,3(\x02,\x02,E12.4))";
  EXPECT_EQ(fmt(slip, {0, 0.0371846, 0.0179862, 0}),
            "  0.0000,      0.0371846,      0.0179862,      0.0000000\n");
  EXPECT_EQ(fmt(amp, {0.0122070, 0.98033, 0.075191}), "  0.0122,  0.9803E+00,  0.7519E-01,\n");
  // Alternating, each start notices the other format (they differ in one byte).
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(fmt(slip, {1, 2, 3, 4}),
              "  1.0000,      2.0000000,      3.0000000,      4.0000000\n");
    EXPECT_EQ(fmt(amp, {1, 2, 3}), "  1.0000,  0.2000E+01,  0.3000E+01,\n");
  }
  EXPECT_EQ(fmt("(F8.4,3(',',F15.7))", {1, 2, 3, 4}), fmt(slip, {1, 2, 3, 4}));
  EXPECT_EQ(fmt("(F8.4,3(\",\",E12.4))", {1, 2, 3}), fmt(amp, {1, 2, 3}));
  // One format on alternate units, a list-directed record between: each
  // statement goes to its own unit.
  Scratch d;
  const std::string path = d.file("other"), one = fmt(slip, {1, 2, 3, 4});
  rio::olist o = open_list(kUnit + 1, path.c_str());
  const rio::cilist here{0, kUnit, 0, slip, 0}, there{0, kUnit + 1, 0, slip, 0};
  EXPECT_EQ(on_unit([&] {
              rio::f_open(&o);
              for (const auto* io : {&here, &there, &here}) rio::row(*io, 1.0, 2.0, 3.0, 4.0);
              rio::say(kUnit + 1, "list");
              rio::row(here, 1.0, 2.0, 3.0, 4.0);
              rio::close_unit(kUnit + 1);
            }),
            one + one + one);
  EXPECT_EQ(unstored(read_file(path)), one + " list\n");
  EXPECT_EQ(fmt(amp, {1}), "  1.0000,\n");
  EXPECT_EQ(fmt(amp, {}), "\n");
  // Statements follow a plan of the format where it has one; it writes what
  // the general interpreter writes, including for formats that get none, and
  // for records longer than the record buffer at first.
  const std::string wide = "('" + std::string(8152, '-') + "',2F8.4,'-',E12.4)";
  for (const char* f : {slip, amp, "(2F4.1)", "('x')", "(0F4.1,'a',F4.1)", "(F4.1,(0F4.1))",
                        "('a',2('b',F4.1),'c')", "(F3.0,2('<',2(F3.0,'>'),E9.2))",
                        "('12345678',F4.1,'123456789',2F4.1,'it''s',F20.3,\"\")", wide.c_str()}) {
    auto both = [f](std::initializer_list<double> v) {
      std::string planned = fmt(f, v);
      rio::f__fmtref = true;
      EXPECT_EQ(planned, fmt(f, v)) << f << " " << v.size();
      rio::f__fmtref = false;
    };
    both({});
    both({1});
    both({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13});
  }
  fmt(slip, {});
  EXPECT_GT(rio::f__planlen, 0);
}

// Each bad format is refused as error 100 and writes nothing.
TEST(BadFormats, RefusedWithErrorInFormat) {
  for (const char* bad : {"(F8.4", "F8.4)", "(F8.4,'abc)", "('abc", "(F0.4)", "(F8)", "(F.4)",
                          "(F8.)", "(I5)", "(F8.4,)", "()", "(F99999999999.4)", "(4294967297F8.4)",
                          "((((((((((F8.4))))))))))", "(F8.4 F8.4)", ""}) {
    int32_t rc = -2;
    std::string out = on_unit([&] {
      rio::cilist io{1, kUnit, 0, bad, 0};
      rc = rio::s_wsfe(&io);
    });
    EXPECT_EQ(rc, 100) << bad;
    EXPECT_EQ(out, "") << bad;
  }
}

// Expects text to be want, showing where they first differ.
void expect_same(const std::string& text, const std::string& want) {
  size_t at = static_cast<size_t>(
      std::mismatch(text.begin(), text.end(), want.begin(), want.end()).first - text.begin());
  size_t from = at > 80 ? at - 80 : 0;
  EXPECT_EQ(text.substr(from, 160), want.substr(from, 160)) << "at byte " << at;
}

// An F field written straight into the record buffer.
std::string f_field(double x, int32_t w, int32_t d) {
  rio::f__recpos = 0;
  rio::wrt_F(reinterpret_cast<const char*>(&x), w, d, sizeof x);
  std::string r(rio::f__buf, static_cast<size_t>(rio::f__recpos));
  rio::f__recpos = 0;
  return r;
}

// F fields are those built from the text of "%#.*f" for every value: random
// magnitudes and signs, exact ties, subnormals, integers, huge values.
TEST(FixedConversion, MatchesTheStreamLibrary) {
  std::mt19937_64 gen(42);
  std::vector<double> values = {0.0, 0.5, 1.5, 2.5, 0.125, 0.375, 1e-310, 5e-324,
                                9007199254740991.0, 9007199254740992.0, 1e19, 123.456, 0.0371846,
                                999.99995, -0.00001, -2.5, 1e300,
                                // next to a half in the last place of F.4 and F.7
                                0.00005, 0.00015, 2.00000005, 0.12345675, 429.49672955,
                                // where the integer digits and the sign stop fitting
                                99.95, -99.95, 999.5, -99.5, -9.99999995};
  for (int i = 0; i < 100000; ++i) {
    double mant = std::uniform_real_distribution<double>(-10, 10)(gen);
    int exp10 = static_cast<int>(gen() % 40) - 25;
    values.push_back(mant * std::pow(10.0, exp10));
    values.push_back(std::ldexp(static_cast<double>(gen() % 4096), -static_cast<int>(gen() % 20)));
  }
  std::string planned;  // a planned format's records, each field by its quick path
  for (double x : values) {
    for (int d : {0, 1, 4, 7, 8, 12, 19, 20}) {
      for (int w : {d + 2, d + 4, d + 9, 40}) {
        ASSERT_EQ(f_field(x, w, d), f_field_reference(x, w, d)) << x << " F" << w << "." << d;
        if (w <= 16 && d <= 7) planned += f_field_reference(x, w, d);
      }
    }
    planned += '\n';
  }
  expect_same(on_unit([&] {
                const rio::cilist io{
                    0, kUnit, 0,
                    "(F2.0,F4.0,F9.0,F3.1,F5.1,F10.1,F6.4,F8.4,F13.4,F9.7,F11.7,F16.7)", 0};
                for (double x : values) rio::row(io, x, x, x, x, x, x, x, x, x, x, x, x);
              }),
              planned);
}

// An E field written straight into the record buffer.
std::string e_field(double x, int32_t w, int32_t d) {
  rio::f__recpos = 0;
  rio::wrt_E(reinterpret_cast<const char*>(&x), w, d, 0, sizeof x);
  std::string r(rio::f__buf, static_cast<size_t>(rio::f__recpos));
  rio::f__recpos = 0;
  return r;
}

// The significant digits and exponent of E fields are those of "%.*E" for
// every value.
TEST(ScientificConversion, MatchesTheStreamLibrary) {
  std::mt19937_64 gen(7);
  std::vector<double> values;
  std::string planned;  // a planned format's records, each field by its quick path
  for (int i = 0; i < 50000; ++i) {
    double mant = std::uniform_real_distribution<double>(1, 10)(gen);
    double x = mant * std::pow(10.0, static_cast<int>(gen() % 80) - 40);
    if (i % 7 == 0)
      x = std::ldexp(static_cast<double>(gen() % 100000), -static_cast<int>(gen() % 30));
    for (int d : {1, 2, 4, 7, 8, 9, 12, 17, 19, 22}) {
      char want[64];
      std::snprintf(want, sizeof want, "%.*E", d - 1, x);
      std::string digits = std::string(1, want[0]) + (d > 1 ? std::string(want + 2, d - 1) : "");
      int exp = x == 0 ? 0 : std::atoi(std::strchr(want, 'E') + 1) + 1;
      std::string f = e_field(x, d + 8, d);
      size_t point = f.find('.');
      ASSERT_EQ(f.substr(point + 1, d), digits) << x << " E." << d << " " << f;
      std::string e = f.substr(point + 1 + d);
      int got = std::atoi(e.c_str() + (e[0] == 'E' ? 1 : 0));
      ASSERT_EQ(got, exp) << x << " E." << d << " " << f;
    }
    values.push_back(x);
    planned += e_field(x, 9, 1) + e_field(-x, 10, 2) + e_field(x, 10, 4) + e_field(-x, 10, 4) +
               e_field(-x, 12, 7) + e_field(x, 16, 8) + "\n";
  }
  expect_same(on_unit([&] {
                const rio::cilist io{0, kUnit, 0, "(E9.1,E10.2,E10.4,E10.4,E12.7,E16.8)", 0};
                for (double x : values) rio::row(io, x, -x, x, -x, -x, x);
              }),
              planned);
}

}  // namespace
