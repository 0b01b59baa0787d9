// List-directed records: the text of each item and where records break.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "unit_harness.h"

using namespace testing_support;

namespace {

std::string one_real(double x) {
  return lio([&] { real(x); });
}

std::string filled(int n) { return std::string(static_cast<size_t>(n - 1), 'x'); }

TEST(ListDirected, Doubles) {
  EXPECT_EQ(one_real(0.0), "  0.\n");
  EXPECT_EQ(one_real(-0.0), "  0.\n");
  EXPECT_EQ(one_real(8192.0), "  8192.\n");
  EXPECT_EQ(one_real(50.000000008), "  50.\n");
  EXPECT_EQ(one_real(0.01), "  0.01\n");
  EXPECT_EQ(one_real(0.0001), "  0.0001\n");
  EXPECT_EQ(one_real(-2.5), " -2.5\n");
  EXPECT_EQ(one_real(1 / 3.8), "  0.263157895\n");
  EXPECT_EQ(one_real(123456789.0), "  123456789.\n");
  EXPECT_EQ(one_real(15000000000.0), "  1.5E+10\n");
  EXPECT_EQ(one_real(999999999.7), "  1.E+09\n");
  EXPECT_EQ(one_real(0.00001), "  1.E-05\n");
  EXPECT_EQ(one_real(-1.25e-300), " -1.25E-300\n");
  float f = 0.1f;
  int32_t type = rio::TYREAL, one = 1;
  EXPECT_EQ(lio([&] { rio::do_lio(&type, &one, &f, sizeof f); }), "  0.100000001\n");
}

TEST(ListDirected, Integers) {
  EXPECT_EQ(lio([] { integer(8192); }), " 8192\n");
  EXPECT_EQ(lio([] { integer(-7); }), " -7\n");
  EXPECT_EQ(lio([] { integer(0); }), " 0\n");
  int64_t big = INT64_MIN;
  int16_t small = -32768;
  int8_t tiny = 127;
  int32_t t8 = rio::TYINT8, t2 = rio::TYINT2, t1 = rio::TYINT1, one = 1;
  EXPECT_EQ(lio([&] { rio::do_lio(&t8, &one, &big, 8); }), " -9223372036854775808\n");
  EXPECT_EQ(lio([&] { rio::do_lio(&t2, &one, &small, 2); }), " -32768\n");
  EXPECT_EQ(lio([&] { rio::do_lio(&t1, &one, &tiny, 1); }), " 127\n");
  int32_t three[3] = {1, -2, 3};
  int32_t t = rio::TYINT, n = 3;
  EXPECT_EQ(lio([&] { rio::do_lio(&t, &n, three, 4); }), " 1 -2 3\n");
}

TEST(ListDirected, ComplexAndLogical) {
  int32_t one = 1, two = 2, tc = 7, tcf = 6, tl = 8, tl2 = 12, tl1 = 13;
  double z[2] = {1.5, -2.0};
  float zf[2] = {0.0f, 0.25f};
  int32_t flags[2] = {1, 0};
  int16_t f2 = 0;
  int8_t f1 = 1;
  EXPECT_EQ(lio([&] { rio::do_lio(&tc, &one, z, 16); }), " (1.5,-2.)\n");
  EXPECT_EQ(lio([&] { rio::do_lio(&tcf, &one, zf, 8); }), " (0.,0.25)\n");
  EXPECT_EQ(lio([&] { rio::do_lio(&tl, &two, flags, 4); }), " T F\n");
  EXPECT_EQ(lio([&] { rio::do_lio(&tl2, &one, &f2, 2), rio::do_lio(&tl1, &one, &f1, 1); }),
            " F T\n");
}

TEST(ListDirected, TextAndTheSystemsRecords) {
  EXPECT_EQ(lio([] {}), "\n");
  EXPECT_EQ(lio([] { text("AB"), text("CD"); }), " ABCD\n");
  EXPECT_EQ(lio([] { text(" dt,nt="), real(0.01), integer(8192); }), "  dt,nt=  0.01 8192\n");
  EXPECT_EQ(lio([] { text(" fc (Hz) and Tau(s)="), real(1 / 3.8), real(3.8); }),
            "  fc (Hz) and Tau(s)=  0.263157895  3.8\n");
  EXPECT_EQ(lio([] { text("x"), text(std::string_view("A\0B", 3)); }), std::string(" xA\0B\n", 6));
  std::string tail = "   ";
  EXPECT_EQ(lio([&] { text("end"), text(tail); }), " end   \n");
}

TEST(ListDirected, RecordBreaks) {
  // A text of n - 1 characters at the start makes a record of n characters.
  EXPECT_EQ(lio([] { text(filled(73)), real(0.01); }), " " + filled(73) + "  0.01\n");
  EXPECT_EQ(lio([] { text(filled(74)), real(0.01); }), " " + filled(74) + "\n  0.01\n");
  EXPECT_EQ(lio([] { text(filled(75)), integer(1234); }), " " + filled(75) + " 1234\n");
  EXPECT_EQ(lio([] { text(filled(76)), integer(1234); }), " " + filled(76) + "\n 1234\n");
  EXPECT_EQ(lio([] { text(filled(70)), text("0123456789"); }),
            " " + filled(70) + "\n 0123456789\n");
  std::string hundred(100, 'h');
  EXPECT_EQ(lio([&] { text(hundred); }), " " + hundred + "\n");
  EXPECT_EQ(lio([&] { real(1), text(hundred); }), "  1.\n " + hundred + "\n");
}

TEST(ListDirected, LongRecordsGrowTheBuffer) {
  for (size_t n : {398u, 399u, 400u, 1023u, 1024u, 5000u}) {
    std::string s(n, 'a');
    s[n / 2] = '\0';
    EXPECT_EQ(lio([&] { text(s); }), " " + s + "\n") << n;
  }
}

}  // namespace
