// The documents beside the program: the manual page against --help and the
// man tools, and the README's lines that read a real run's files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform.h"
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
      // The zip's text: every character of the page has an ASCII form.
      {"groff", "groff -man -ww -Tascii -z " RAMP_MANUAL " 2>&1"},
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

// Each build command that the README and docs/building.md show: its later
// steps build and test the folder it configures, and its configuring (the
// program alone, into a scratch folder) succeeds and takes every variable it
// sets, where the tools it names are installed. CI builds and tests with the
// same commands.
TEST(Documents, BuildCommandsConfigure) {
  POSIX_ONLY("the commands are a POSIX shell's");
  const std::pair<const char*, const char*> needs[] = {
      {"mingw-w64", "command -v x86_64-w64-mingw32-g++-posix"},
      {"libc++",
       "echo 'int main() {}' | clang++ -stdlib=libc++ -x c++ -include vector - -o /dev/null"},
      {"Ninja", "command -v ninja"}};
  static const std::regex command(R"(^    ((\w+=\S+ )*cmake -S \. -B )(\S+)(.*?)( && .*)?$)");
  static const std::regex step(R"((--build|--test-dir) (\S+)|(\S+)/Ramp-SlipV)");
  // The plain command configured the build this test runs in.
  std::set<std::string> configured{"cmake -S . -B "};
  int shown = 0;
  for (const char* document : {"/README.md", "/docs/building.md"})
    for (const std::string& l : lines(read_file(RAMP_SOURCE_DIR + std::string(document)))) {
      std::smatch m;
      if (!std::regex_match(l, m, command)) continue;
      ++shown;
      std::string rest = m[5];
      for (std::sregex_iterator i(rest.begin(), rest.end(), step), end; i != end; ++i)
        EXPECT_EQ((*i)[(*i)[2].matched ? 2 : 3].str(), m[3].str()) << document << ": " << l;
      bool missing = false;
      for (const auto& [mark, present] : needs)
        missing |= l.find(mark) != std::string::npos &&
                   std::system((std::string(present) + " >/dev/null 2>&1").c_str()) != 0;
      if (missing || !configured.insert(m[1].str() + m[4].str()).second) continue;
      Scratch d;
      int status = -1;
      std::string said = output("cd '" RAMP_SOURCE_DIR "' && " + m[1].str() + "'" + d.path() + "'" +
                                    m[4].str() + " -DBUILD_TESTING=OFF -DRAMP_BENCH=OFF 2>&1",
                                &status);
      EXPECT_EQ(status, 0) << l << "\n" << said;
      EXPECT_EQ(said.find("not used by the project"), std::string::npos) << l << "\n" << said;
    }
  EXPECT_EQ(shown, 6);  // three in the README, three in docs/building.md
}

// Each reader the README gives lines for, and what it prints after them: the
// names of both files joined by "|" and the count of missing values, the rows
// and columns of what it read, and four values (as the files' row 3 field 1,
// last row field 3, last row field 2 and row 1 field 1).
struct reader {
  const char* language;  // of the README's fenced lines
  const char* present;   // a shell command that fails where the reader is missing
  const char* missing;   // why the test is skipped then
  const char* script;    // the file of the README's lines and these, run in the run's folder
  const char* run;
  const char* report;
};

const reader readers[] = {
    {"python", "/usr/bin/python3 -c 'import numpy, pandas'",
     "numpy or pandas does not import in /usr/bin/python3 "
     "(apt-get install python3-numpy python3-pandas)",
     "read.py", "/usr/bin/python3 -W error read.py", R"x(
print("|".join(slip.columns), "|".join(amp.columns), int(slip.isna().sum().sum() + amp.isna().sum().sum()))
print(*slip.shape, *amp.shape, *slip_array.shape, *amp_array.shape)
print(*(repr(float(v)) for v in (slip.iloc[2, 1], slip_array[-1, 3], amp.iloc[-1, 2], amp_array[0, 1])))
)x"},
    {"r", "command -v Rscript", "Rscript is missing (apt-get install r-base-core)", "read.R",
     "Rscript -e 'options(warn = 2); source(\"read.R\")'", R"x(
cat(paste(names(slip), collapse = "|"), paste(names(amp), collapse = "|"), sum(is.na(slip)) + sum(is.na(amp)), "\n")
cat(dim(slip), dim(amp), "\n")
cat(sprintf("%.17g", c(slip$velocity[3], slip$acceleration[nrow(slip)], amp[["abs(acc)"]][nrow(amp)], amp[["abs(vel)"]][1])), "\n")
)x"},
    {"matlab", "command -v octave", "octave is missing (apt-get install octave)", "readme_lines.m",
     "octave --no-gui --quiet --norc readme_lines.m", R"x(
printf("%s %s %d\n", strjoin(slip_names, "|"), strjoin(amp_names, "|"), nnz(isnan(slip)) + nnz(isnan(amp)));
printf("%d ", size(slip), size(amp)); printf("\n");
printf("%.17g ", slip(3, 2), slip(end, 4), amp(end, 3), amp(1, 2)); printf("\n");
)x"},
};

void PrintTo(const reader& r, std::ostream* os) { *os << r.language; }

class ReadingTheFiles : public testing::TestWithParam<reader> {};

// The README's lines read both files of a run: the names without their
// blank, no column shifted or empty, the rows and values of the files.
TEST_P(ReadingTheFiles, ReadmeLinesReadARun) {
#ifdef _WIN32
  GTEST_SKIP() << "the README's lines are checked on Linux";
#else
  const reader& r = GetParam();
  if (std::system((std::string(r.present) + " >/dev/null 2>&1").c_str()) != 0)
    GTEST_SKIP() << r.missing;
  std::string readme = read_file(RAMP_SOURCE_DIR "/README.md");
  size_t section = readme.find("\n## Reading the files");
  ASSERT_NE(section, std::string::npos);
  std::string fence = "```" + std::string(r.language) + "\n";
  size_t from = readme.find(fence, section), to = readme.find("```\n", from + 1);
  ASSERT_NE(from, std::string::npos);
  std::string code_lines = readme.substr(from + fence.size(), to - from - fence.size());
  // The default run, and a slow slip whose velocity and acceleration are E
  // fields and whose frequencies have seven decimals.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {"-r", "86400", "-d", "600", "-n", "1024", "--no-wait"}}) {
    Scratch d;
    ASSERT_EQ(code(run({.dir = d.path(), .args = args})), 0);
    write_file(d.file(r.script), code_lines + r.report);
    int status = -1;
    std::string got = output("cd '" + d.path() + "' && " + r.run, &status);
    ASSERT_EQ(status, 0) << got;
    std::istringstream in(got);
    std::string slip_names, amp_names, shapes;
    int nan = -1;
    in >> slip_names >> amp_names >> nan >> std::ws;
    std::getline(in, shapes);
    double values[4];
    for (double& v : values) in >> v;
    ASSERT_FALSE(in.fail()) << got;
    EXPECT_EQ(slip_names, "time(s)|velocity|displacement|acceleration");
    EXPECT_EQ(amp_names, "freq(Hz)|abs(vel)|abs(acc)");
    EXPECT_EQ(nan, 0);
    // The rows and fields of the files the reader read; its shapes, those of
    // each file's table (and, from Python, of each file's array too).
    std::vector<std::string> slip = lines(read_file(d.file("Ramp_Slip.csv")));
    std::vector<std::string> amp = lines(read_file(d.file("Ramp_Amp.csv")));
    int slip_rows = static_cast<int>(slip.size()) - 1, amp_rows = static_cast<int>(amp.size()) - 1;
    std::istringstream shape_in(shapes);
    std::vector<int> rows{std::istream_iterator<int>(shape_in), {}}, want;
    while (want.size() < std::max<size_t>(rows.size(), 4))
      want.insert(want.end(), {slip_rows, 4, amp_rows, 3});
    EXPECT_EQ(rows, want) << got;
    // Each value as the file's text reads, to the last bit or within a few
    // units of it where the reader's own conversion rounds twice.
    EXPECT_DOUBLE_EQ(values[0], fields(slip[3])[1]);
    EXPECT_DOUBLE_EQ(values[1], fields(slip.back())[3]);
    EXPECT_DOUBLE_EQ(values[2], fields(amp.back())[2]);
    EXPECT_DOUBLE_EQ(values[3], fields(amp[1])[1]);
    EXPECT_GT(values[2], 0.0);
  }
#endif
}

INSTANTIATE_TEST_SUITE_P(Readers, ReadingTheFiles, testing::ValuesIn(readers),
                         [](const testing::TestParamInfo<reader>& i) {
                           return std::string(i.param.language);
                         });

}  // namespace
