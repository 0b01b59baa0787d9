// Faults a run can meet: signals at random moments, full devices, files and
// folders in the way.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <random>
#include <thread>

#include "golden.h"
#include "spawn.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// A file a run left: a complete run's file cut after a whole record.
::testing::AssertionResult whole_records(const std::string& got, const std::string& full) {
  if (full.compare(0, got.size(), got) != 0) return ::testing::AssertionFailure() << "not a prefix";
  if (!got.empty() && got.back() != '\n')
    return ::testing::AssertionFailure() << "cut inside a record at byte " << got.size();
  return ::testing::AssertionSuccess();
}

TEST(Stress, SignalsAtRandomMomentsLeaveWholeRecords) {
  POSIX_ONLY("signals sent from outside");
  const unsigned seed = 20261208;
  const int runs = 200;
  std::printf("signal stress: seed %u, %d runs\n", seed, runs);
  std::mt19937 gen(seed);

  // How long a run takes to reach its prompt, so the signals cover all of it.
  auto t0 = std::chrono::steady_clock::now();
  {
    Scratch d;
    Child c({.dir = d.path(), .keep_stdin = true});
    ASSERT_TRUE(c.wait_for("Hit any key to stop\n"));
    c.signal(SIGTERM);
    c.finish();
  }
  auto span = std::chrono::steady_clock::now() - t0;
  auto span_us = std::chrono::duration_cast<std::chrono::microseconds>(span).count() * 5 / 4;

  int early = 0, before_files = 0, in_slip = 0, in_amp = 0, at_prompt = 0;
  for (int i = 0; i < runs; ++i) {
    Scratch d;
    bool old_files = i % 4 == 3;
    if (old_files) {
      write_file(d.file("Ramp_Slip.csv"), complete().slip);
      write_file(d.file("Ramp_Amp.csv"), complete().amp);
    }
    int signo = gen() % 2 ? SIGINT : SIGTERM;
    auto delay = std::chrono::microseconds(gen() % static_cast<unsigned>(span_us + 1));
    Child c({.dir = d.path(), .keep_stdin = true});
    std::this_thread::sleep_for(delay);
    c.signal(signo);
    Result r = c.finish();
    SCOPED_TRACE("run " + std::to_string(i) + ", signal " + std::to_string(signo) + " after " +
                 std::to_string(delay.count()) + " us");

    std::string slip = read_file(d.file("Ramp_Slip.csv"));
    std::string amp = read_file(d.file("Ramp_Amp.csv"));
    if (WIFSIGNALED(r.status)) {
      // Before start-up installed its handlers: the signal's own end.
      ASSERT_EQ(WTERMSIG(r.status), signo);
      ASSERT_EQ(r.out, "");
      ASSERT_EQ(slip, old_files ? complete().slip : "");
      ++early;
      continue;
    }
    ASSERT_EQ(code(r), 1);
    ASSERT_EQ(r.err, signo == SIGINT ? "Interrupt\n" : "Killed\n");
    ASSERT_TRUE(whole_records(r.out, kConsole));
    ASSERT_TRUE(whole_records(slip, complete().slip));
    ASSERT_TRUE(whole_records(amp, complete().amp));
    if (r.out.find("Hit any key") != std::string::npos)
      ++at_prompt;
    else if (r.out.find("DUR") != std::string::npos)
      ++in_amp;
    else if (fs::exists(d.file("Ramp_Slip.csv")) && !old_files)
      ++in_slip;
    else
      ++before_files;
  }
  std::printf(
      "signal stress: %d before start-up, %d before the slip file or in it (older files present), "
      "%d during the slip file, "
      "%d during the spectrum, %d at the prompt\n",
      early, before_files, in_slip, in_amp, at_prompt);
}

// A run that meets a fault: a report, a non-zero end, and no regular file
// left that is not what a complete run writes up to the fault.
void expect_fault(const Result& r, const std::string& first_lines) {
  EXPECT_EQ(unstored(r.err).substr(0, first_lines.size()), first_lines);
  EXPECT_TRUE(WIFSIGNALED(r.status) && WTERMSIG(r.status) == SIGABRT) << r.status;
}

TEST(Faults, SlipFileOnAFullDevice) {
  POSIX_ONLY("/dev/full");
  Scratch d;
  fs::create_symlink("/dev/full", d.file("Ramp_Slip.csv"));
  Result r = run({.dir = d.path()});
  expect_fault(r, "write: No space left on device\napparent state: unit 11 named Ramp_Slip.csv\n");
  EXPECT_EQ(r.out, kConsoleBeforeFiles);
  EXPECT_FALSE(fs::exists(d.file("Ramp_Amp.csv")));
}

TEST(Faults, AmpFileOnAFullDevice) {
  POSIX_ONLY("/dev/full");
  Scratch d;
  fs::create_symlink("/dev/full", d.file("Ramp_Amp.csv"));
  Result r = run({.dir = d.path()});
  expect_fault(r, "write: No space left on device\napparent state: unit 12 named Ramp_Amp.csv\n");
  EXPECT_EQ(read_file(d.file("Ramp_Slip.csv")), complete().slip);
}

TEST(Faults, DiskFullInTheMiddleOfAFile) {
  POSIX_ONLY("file-size limits");
  Scratch d;
  // An older, longer file of other content: none of it may survive.
  write_file(d.file("Ramp_Slip.csv"), std::string(1'000'000, 'x'));
  Result r = run({.dir = d.path(), .file_size_limit = 100'000});
  expect_fault(r, "write: File too large\napparent state: unit 11 named Ramp_Slip.csv\n");
  std::string slip = read_file(d.file("Ramp_Slip.csv"));
  EXPECT_GT(slip.size(), 50'000u);
  EXPECT_TRUE(whole_records(slip, complete().slip)) << slip.size();
}

TEST(Faults, FolderInThePlaceOfAFile) {
  POSIX_ONLY("a folder opens for reading (on Windows the open fails)");
  Scratch d;
  fs::create_directory(d.file("Ramp_Slip.csv"));
  Result r = run({.dir = d.path()});
  expect_fault(r,
               "list output start: can't write file\n"
               "apparent state: unit 11 named Ramp_Slip.csv\n");
  EXPECT_FALSE(fs::exists(d.file("Ramp_Amp.csv")));
}

TEST(Faults, ClosedStandardOutput) {
  Scratch d;
  // Standard output refuses writes: the report says so, and the files are
  // not taken for the console.
  Result r = run({.dir = d.path(), .stdout_path = "/dev/null", .close_stdout = true});
  expect_fault(r, "write: Bad file descriptor\napparent state: unit 6 (unnamed)\n");
  EXPECT_EQ(read_file(d.file("Ramp_Slip.csv")), complete().slip);
  EXPECT_EQ(read_file(d.file("Ramp_Amp.csv")), complete().amp);
}

}  // namespace
