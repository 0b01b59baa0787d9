// The documents beside the program: the manual page against --help and the
// man tools, and the README's lines that read a real run's files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "spawn.h"

using namespace testing_support;

namespace {

#ifndef _WIN32
// The options named in the lines where keep(line, the line before) holds:
// "-r" and "--rise-time" of "-r, --rise-time=SECONDS".
template <class Keep>
std::set<std::string> options_in(const std::vector<std::string>& text, Keep keep) {
  static const std::regex option(R"((^|[ ,[])(--?[A-Za-z][-A-Za-z]*))");
  std::set<std::string> names;
  for (size_t n = 0; n < text.size(); ++n) {
    const std::string& l = text[n];
    if (!keep(l, n > 0 ? text[n - 1] : std::string())) continue;
    for (std::sregex_iterator i(l.begin(), l.end(), option), end; i != end; ++i)
      names.insert((*i)[2]);
  }
  return names;
}

#endif

TEST(Manual, NamesTheOptionsOfHelp) {
#ifdef _WIN32
  GTEST_SKIP() << "the manual page is checked on Linux";
#else
  int status = -1;
  std::string help = output(RAMP_PROGRAM " --help", &status);
  ASSERT_EQ(status, 0);
  // Help: the indented lines that start with an option. The page: the tag
  // line after each .TP of its OPTIONS section, its escapes removed.
  auto help_names = options_in(lines(help), [](const std::string& l, const std::string&) {
    size_t at = l.find_first_not_of(' ');
    return at > 0 && at != std::string::npos && l[at] == '-';
  });
  std::string page = read_file(RAMP_MANUAL);
  page = std::regex_replace(page, std::regex(R"(\\f[BIRP]|")"), "");
  page = std::regex_replace(page, std::regex(R"(\\-)"), "-");
  size_t from = page.find("\n.SH OPTIONS"), to = page.find("\n.SH", from + 1);
  ASSERT_NE(from, std::string::npos);
  std::string options = page.substr(from, to - from);
  auto page_names = options_in(lines(options), [](const std::string&, const std::string& before) {
    return before == ".TP";
  });
  EXPECT_EQ(page_names.size(), 14u);  // 6 short, 8 long
  EXPECT_EQ(page_names, help_names);
#endif
}

// Each tool that checks a manual page, where it is installed, finds nothing
// to warn about.
TEST(Manual, RendersWithoutWarnings) {
#ifdef _WIN32
  GTEST_SKIP() << "the manual page is checked on Linux";
#else
  struct checker {
    const char* tool;
    std::string command;
  } checkers[] = {
      {"groff", "groff -man -ww -z " RAMP_MANUAL " 2>&1"},
      {"man",
       "LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l " RAMP_MANUAL " 2>&1 >/dev/null"},
  };
  int checked = 0;
  for (const checker& c : checkers) {
    if (!has(c.tool)) continue;
    int status = -1;
    EXPECT_EQ(output(c.command, &status), "") << c.command;
    EXPECT_EQ(status, 0) << c.command;
    ++checked;
  }
  if (checked == 0)
    GTEST_SKIP() << "neither groff nor man is installed (apt-get install groff-base)";
#endif
}

// The README's Python lines read both files of a run: the names without
// their blank, no column shifted or empty, the rows and values of the files.
TEST(ReadingTheFiles, ReadmeLinesReadARun) {
#ifdef _WIN32
  GTEST_SKIP() << "the README's Python lines are checked on Linux";
#else
  int imported = -1;
  output("/usr/bin/python3 -c 'import numpy, pandas' 2>&1", &imported);
  if (imported != 0)
    GTEST_SKIP() << "numpy or pandas does not import in /usr/bin/python3 "
                    "(apt-get install python3-numpy python3-pandas)";
  std::string readme = read_file(RAMP_SOURCE_DIR "/README.md");
  size_t section = readme.find("\n## Reading the files");
  ASSERT_NE(section, std::string::npos);
  size_t from = readme.find("```python\n", section), to = readme.find("```\n", from + 1);
  ASSERT_NE(from, std::string::npos);
  std::string python = readme.substr(from + 10, to - from - 10);
  Scratch d;
  ASSERT_EQ(code(run({.dir = d.path()})), 0);
  write_file(d.file("read.py"), python + R"(
print("|".join(slip.columns), "|".join(amp.columns), int(slip.isna().sum().sum() + amp.isna().sum().sum()))
print(*slip.shape, *amp.shape, *slip_array.shape, *amp_array.shape)
print(*(repr(float(v)) for v in (slip.iloc[2, 1], slip_array[-1, 3], amp.iloc[-1, 2], amp_array[0, 1])))
)");
  int status = -1;
  std::string got = output("cd '" + d.path() + "' && /usr/bin/python3 -W error read.py", &status);
  ASSERT_EQ(status, 0) << got;
  std::istringstream in(got);
  std::string slip_names, amp_names;
  int nan = -1, rows[8];
  in >> slip_names >> amp_names >> nan;
  for (int& r : rows) in >> r;
  double values[4];
  for (double& v : values) in >> v;
  ASSERT_FALSE(in.fail()) << got;
  EXPECT_EQ(slip_names, "time(s)|velocity|displacement|acceleration");
  EXPECT_EQ(amp_names, "freq(Hz)|abs(vel)|abs(acc)");
  EXPECT_EQ(nan, 0);
  // The rows and fields of the files Python read.
  std::vector<std::string> slip = lines(read_file(d.file("Ramp_Slip.csv")));
  std::vector<std::string> amp = lines(read_file(d.file("Ramp_Amp.csv")));
  int slip_rows = static_cast<int>(slip.size()) - 1, amp_rows = static_cast<int>(amp.size()) - 1;
  EXPECT_EQ(std::vector<int>(rows, rows + 8),
            std::vector<int>({slip_rows, 4, amp_rows, 3, slip_rows, 4, amp_rows, 3}));
  EXPECT_EQ(values[0], fields(slip[3])[1]);
  EXPECT_EQ(values[1], fields(slip.back())[3]);
  EXPECT_EQ(values[2], fields(amp.back())[2]);
  EXPECT_EQ(values[3], fields(amp[1])[1]);
  EXPECT_GT(values[2], 0.0);
#endif
}

}  // namespace
