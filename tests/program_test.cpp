// The built program end to end: console, files, and what a user meets.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <sstream>
#include <vector>

#include "golden.h"
#include "spawn.h"

using namespace testing_support;

namespace {

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> v;
  std::istringstream s(unstored(text));
  for (std::string l; std::getline(s, l);) v.push_back(l);
  return v;
}

TEST(Console, RecordsByteForByteWithInputAtEnd) {
  Scratch d;
  Result r = run({.dir = d.path()});
  EXPECT_EQ(r.out, kConsole);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(code(r), 0);
}

TEST(Console, OneLineOfInputIsReadAndIgnored) {
  Scratch d;
  // The pipe stays open: the run must stop after the first line, not at end.
  Result r = run({.dir = d.path(), .input = "abc, 12 3.5 'q'\nsecond line\n", .keep_stdin = true});
  EXPECT_EQ(r.out, kConsole);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(code(r), 0);
}

TEST(Console, PromptIsSeenBeforeTheWait) {
  Scratch d;
  Child c({.dir = d.path(), .keep_stdin = true});
  ASSERT_TRUE(c.wait_for(stored("Hit any key to stop\n")));
  // By then both files are complete and closed.
  EXPECT_EQ(read_file(d.file("Ramp_Amp.csv")), complete().amp);
  c.signal(SIGTERM);
  c.finish();
}

TEST(SlipFile, HeaderRowsAndExamples) {
  std::vector<std::string> v = lines(complete().slip);
  ASSERT_EQ(v.size(), 8193u);
  EXPECT_EQ(v[0], " time(s),velocity,displacement,acceleration");
  for (size_t i = 1; i < v.size(); ++i) ASSERT_EQ(v[i].size(), 56u) << "line " << i + 1;
  EXPECT_EQ(v[1], "  0.0000,      0.0371846,      0.0179862,      0.0000000");
  EXPECT_EQ(v[2], "  0.0100,      0.0379467,      0.0183619,      0.0762085");
  EXPECT_EQ(v[191], "  1.9000,      0.5263158,      0.5000000,      0.0058313");
  EXPECT_EQ(v[192], "  1.9100,      0.5262575,      0.5052630,     -0.0058313");
  EXPECT_EQ(v[8192], " 81.9100,      0.0000000,      1.0000000,      0.0000000");
  // Where slip, velocity and acceleration first print as their limits.
  EXPECT_EQ(v[989].substr(24, 16), ",      0.9999999");
  EXPECT_EQ(v[990].substr(24, 16), ",      1.0000000");
  EXPECT_EQ(v[1024].substr(8, 16), ",      0.0000001");
  EXPECT_EQ(v[1025].substr(8, 16), ",      0.0000000");
  EXPECT_NE(v[1060].substr(40), ",      0.0000000");
  for (size_t i = 1061; i < v.size(); ++i) ASSERT_EQ(v[i].substr(40), ",      0.0000000") << i;
  EXPECT_EQ(complete().slip.back(), '\n');
}

TEST(AmpFile, HeaderRowsAndExamples) {
  std::vector<std::string> v = lines(complete().amp);
  ASSERT_EQ(v.size(), 4096u);
  EXPECT_EQ(v[0], " freq(Hz),abs(vel),abs(acc)");
  for (size_t i = 1; i < v.size(); ++i) {
    ASSERT_EQ(v[i].size(), 35u) << "line " << i + 1;
    ASSERT_EQ(v[i].back(), ',');
    ASSERT_LT(std::stod(v[i].substr(22, 12)), 0.76);
  }
  EXPECT_EQ(v[1], "  0.0122,  0.9803E+00,  0.7519E-01,");
  EXPECT_EQ(v[2], "  0.0244,  0.9748E+00,  0.1495E+00,");
  EXPECT_EQ(v[4095], " 49.9878,  0.1840E-03,  0.5780E-01,");
}

TEST(Files, OlderFilesAreReplacedWhateverTheirLength) {
  for (const std::string& old :
       {std::string(3'000'000, 'x'), std::string("old\n"), std::string()}) {
    Scratch d;
    write_file(d.file("Ramp_Slip.csv"), old);
    write_file(d.file("Ramp_Amp.csv"), old);
    EXPECT_EQ(code(run({.dir = d.path()})), 0);
    EXPECT_EQ(read_file(d.file("Ramp_Slip.csv")), complete().slip) << old.size();
    EXPECT_EQ(read_file(d.file("Ramp_Amp.csv")), complete().amp) << old.size();
    // A second run over its own files changes nothing.
    EXPECT_EQ(code(run({.dir = d.path()})), 0);
    EXPECT_EQ(read_file(d.file("Ramp_Slip.csv")), complete().slip);
  }
}

// The report lines of a fatal error, after the console records written so far.
void expect_fatal(const Result& r, const std::string& console, const std::string& report) {
  EXPECT_EQ(r.out, console);
  EXPECT_EQ(r.err, report);
  EXPECT_TRUE(WIFSIGNALED(r.status) && WTERMSIG(r.status) == SIGABRT) << r.status;
}

// Permission checks all pass for root: these runs drop to an unprivileged user.
#ifdef _WIN32
#define REQUIRE_ROOT() POSIX_ONLY("runs as an unprivileged user")
#else
#define REQUIRE_ROOT() \
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run as an unprivileged user"
#endif

TEST(Errors, FolderWithoutWritePermission) {
  REQUIRE_ROOT();
  Scratch d;
  chmod(d.path().c_str(), 0555);
  Result r = run({.dir = d.path(), .unprivileged = true});
  expect_fatal(r, kConsoleBeforeFiles,
               "open: Permission denied\n"
               "apparent state: unit 11 named Ramp_Slip.csv\n"
               "last format: list io\n"
               "lately writing direct formatted external IO\n");
}

TEST(Errors, ReadOnlySlipFile) {
  REQUIRE_ROOT();
  Scratch d(true);
  write_file(d.file("Ramp_Slip.csv"), "kept\n");
  chmod(d.file("Ramp_Slip.csv").c_str(), 0444);
  Result r = run({.dir = d.path(), .unprivileged = true});
  expect_fatal(r, kConsoleBeforeFiles,
               "list output start: can't write file\n"
               "apparent state: unit 11 named Ramp_Slip.csv\n"
               "last format: list io\n"
               "lately writing direct formatted external IO\n");
  EXPECT_EQ(read_file(d.file("Ramp_Slip.csv")), "kept\n");
}

TEST(Errors, ReadOnlyAmpFileKeepsTheCompleteSlipFile) {
  REQUIRE_ROOT();
  Scratch d(true);
  write_file(d.file("Ramp_Amp.csv"), "kept\n");
  chmod(d.file("Ramp_Amp.csv").c_str(), 0444);
  Result r = run({.dir = d.path(), .unprivileged = true});
  expect_fatal(r, kConsole.substr(0, kConsole.find("\n\n Hit") + 1),
               "list output start: can't write file\n"
               "apparent state: unit 12 named Ramp_Amp.csv\n"
               "last format: list io\n"
               "lately writing sequential formatted external IO\n");
  EXPECT_EQ(read_file(d.file("Ramp_Slip.csv")), complete().slip);
}

TEST(Errors, StandardOutputOnAFullDevice) {
  POSIX_ONLY("/dev/full");
  Scratch d;
  Result r = run({.dir = d.path(), .stdout_path = "/dev/full"});
  EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "write: No space left on device");
  EXPECT_NE(code(r), 0);
  // The files were complete before the console was flushed.
  EXPECT_EQ(read_file(d.file("Ramp_Amp.csv")), complete().amp);
}

// Each fatal signal at the prompt: its text, then exit status 1 or an abort.
TEST(Signals, EachFatalSignalAtThePrompt) {
  POSIX_ONLY("signals sent from outside");
  struct Case {
    int signo;
    const char* text;
    bool aborts;
  };
  for (Case k : {Case{SIGINT, "Interrupt\n", false}, Case{SIGTERM, "Killed\n", false},
                 Case{SIGFPE, "Floating Exception\n", true}, Case{SIGABRT, "IOT Trap\n", true}}) {
    Scratch d;
    Child c({.dir = d.path(), .keep_stdin = true});
    ASSERT_TRUE(c.wait_for("Hit any key to stop\n"));
    c.signal(k.signo);
    Result r = c.finish();
    EXPECT_EQ(r.out, kConsole);
    EXPECT_EQ(r.err, k.text);
    if (k.aborts)
      EXPECT_TRUE(WIFSIGNALED(r.status) && WTERMSIG(r.status) == SIGABRT) << r.status;
    else
      EXPECT_EQ(code(r), 1);
  }
}

TEST(Signals, IgnoredInterruptStaysIgnored) {
  POSIX_ONLY("signals sent from outside");
  Scratch d;
  Child c({.dir = d.path(), .keep_stdin = true, .ignore_sigint = true});
  ASSERT_TRUE(c.wait_for("Hit any key to stop\n"));
  c.signal(SIGINT);
  usleep(100'000);
  c.signal(SIGTERM);
  Result r = c.finish();
  EXPECT_EQ(r.err, "Killed\n");
  EXPECT_EQ(code(r), 1);
}

}  // namespace
