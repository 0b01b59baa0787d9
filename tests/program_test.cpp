// The built program end to end: console, files, and what a user meets.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#ifndef _WIN32
#include <pty.h>
#endif

#include <algorithm>
#include <cmath>
#include <complex>
#include <csignal>
#include <cstdio>
#include <map>
#include <vector>

#include "golden.h"
#include "spawn.h"

using namespace testing_support;

namespace {

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

// On a terminal a long run shows a progress line on standard error that
// advances, never past 100 %, and is erased at the end, also when an
// interrupt ends the run, and also when standard output is a file.
TEST(Console, ProgressLineOnATerminal) {
#ifdef _WIN32
  POSIX_ONLY("pseudo-terminals");
#else
  for (int k : {0, 1, 2}) {
    const bool interrupt = k == 1, to_file = k == 2;
    SCOPED_TRACE(interrupt ? "interrupted" : to_file ? "standard output a file" : "to the end");
    Scratch d;  // the files are /dev/null: a long run without its writes to disk
    for (const char* name : {"Ramp_Slip.csv", "Ramp_Amp.csv"})
      ASSERT_EQ(symlink("/dev/null", d.file(name).c_str()), 0);
    int terminal = -1;
    pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid == 0) {
      if (chdir(d.path().c_str()) == 0 && (!to_file || freopen("console", "w", stdout) != nullptr))
        execl(RAMP_PROGRAM, RAMP_PROGRAM, "-n", "8388608", "--no-wait", nullptr);
      _exit(127);
    }
    ASSERT_GT(pid, 0);
    std::string shown;
    char buf[4096];
    for (ssize_t n; (n = read(terminal, buf, sizeof buf)) > 0;) {
      bool first = shown.find('%') == std::string::npos;
      shown.append(buf, static_cast<size_t>(n));
      if (interrupt && first && shown.find('%') != std::string::npos) kill(pid, SIGINT);
    }
    close(terminal);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_EQ(code({.status = status}), interrupt ? 1 : 0);
    // Each text is written over the last from the line's start.
    std::map<std::string, int> last;
    int texts = 0;
    for (size_t at = shown.find("\rRamp-SlipV: "); at != std::string::npos;
         at = shown.find("\rRamp-SlipV: ", at + 1)) {
      char name[40];
      int percent = -1;
      if (std::sscanf(shown.c_str() + at, "\rRamp-SlipV: %39s %d%%", name, &percent) != 2) continue;
      EXPECT_LE(last[name], percent) << name;
      EXPECT_LE(percent, 100) << name;
      last[name] = percent;
      ++texts;
    }
    EXPECT_GE(texts, interrupt ? 1 : 2) << shown.substr(0, 1000);
    if (!interrupt) {
      EXPECT_EQ(last["Ramp_Amp.csv"], 100);
    }
    // Blanks over the last text, back at the line's start, and then only the
    // report of the interrupt.
    size_t at = shown.rfind("\rRamp-SlipV: ") + 1, len = shown.find('\r', at) - at;
    EXPECT_EQ(shown.substr(at + len),
              "\r" + std::string(len, ' ') + "\r" + (interrupt ? "Interrupt\r\n" : ""));
  }
#endif
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

TEST(Options, OtherParametersFollowTheFormulas) {
  Scratch d;
  const double dt = 0.005, fc = 1 / 2.0, tau2 = 3;
  Result r = run({.dir = d.path(),
                  .args = {"-r", "2", "--dt=0.005", "-n", "2048", "--centre", "3", "--no-wait"}});
  EXPECT_EQ(code(r), 0);
  EXPECT_EQ(r.err, "");
  std::vector<std::string> out = lines(r.out);
  ASSERT_EQ(out.size(), 11u);  // no prompt
  EXPECT_EQ(out[3], "  dt,nt=  0.005 2048");
  EXPECT_EQ(out[4], "  fc (Hz) and Tau(s)=  0.5  2.");
  EXPECT_EQ(out[9], "  DUR,DOM,NOM,EOM=  10.24  0.613592315 1024  628.318531");
  std::vector<std::string> slip = lines(read_file(d.file("Ramp_Slip.csv")));
  ASSERT_EQ(slip.size(), 2049u);
  double before = 0;
  for (size_t i = 1; i < slip.size(); ++i) {
    ASSERT_EQ(slip[i].size(), 56u) << i;
    double t = static_cast<double>(i - 1) * dt, th = std::tanh(4 * fc * (t - tau2));
    double v = 2 * fc * (1 - th * th), a = i == 1 ? 0 : (v - before) / dt;
    before = v;
    std::vector<double> f = fields(slip[i]);
    ASSERT_EQ(f.size(), 4u);
    EXPECT_NEAR(f[0], t, 5e-5);
    EXPECT_NEAR(f[1], v, 6e-8);
    EXPECT_NEAR(f[2], (1 + th) / 2, 6e-8);
    EXPECT_NEAR(f[3], a, 1e-7) << i;
  }
  // The spectrum's first line against the sum that defines it.
  std::vector<std::string> amp = lines(read_file(d.file("Ramp_Amp.csv")));
  ASSERT_EQ(amp.size(), 1024u);
  std::complex<double> sum;
  const double pai = 3.141592654;
  for (int j = 0; j < 2048; ++j) {
    double th = std::tanh(4 * fc * (j * dt - tau2));
    sum += 2 * fc * (1 - th * th) * dt * std::polar(1.0, -2 * pai * j / 2048);
  }
  std::vector<double> f = fields(amp[1]);
  EXPECT_NEAR(f[0], 1 / 10.24, 5e-5);
  EXPECT_NEAR(f[1], std::abs(sum), 1e-4 * std::abs(sum));
  EXPECT_NEAR(f[2], std::abs(sum) * 2 * pai / 10.24, 1e-4 * f[2]);
}

// Every column keeps its meaning at any scale, over the whole file: times
// and frequencies never repeat and lie within a twentieth of a step of their
// values, the largest velocity and acceleration show six significant digits,
// columns whose values would not fit are widened, and every row of a file
// has one length.
TEST(Options, ColumnsHoldEveryValueAtAnyScale) {
  struct Case {
    std::vector<std::string> args;
    double dt;
    size_t slip_row, amp_row;  // row lengths
    std::string last;          // the last row of Ramp_Slip.csv
  };
  // The significant digits of a field, of its mantissa in an E field.
  auto digits = [](std::string f) {
    f = f.substr(0, f.find('E'));
    f.erase(f.find('.'), 1);
    return f.size() - std::min(f.size(), f.find_first_not_of(" -0"));
  };
  for (const Case& k : {Case{{"-n", "131072"},
                             0.01,
                             57,
                             36,
                             "1310.7100,      0.0000000,      1.0000000,      0.0000000"},
                        Case{{"-r", "1e-6", "-d", "1e-7", "-n", "64"},
                             1e-7,
                             66,
                             39,
                             "  0.0000063,      0.0000000,      1.0000000,             0.0000000"},
                        Case{{"-r", "1e-4", "-d", "1e-6", "-n", "1024"},  // a laboratory rupture
                             1e-6,
                             61,
                             38,
                             "  0.001023,      0.0000000,      1.0000000,         0.0000000"},
                        Case{{"-r", "1", "-d", "5e-5", "-n", "65536"},
                             5e-5,
                             57,
                             36,
                             "  3.27675,      0.0000000,      1.0000000,      0.0000000"},
                        Case{{"-r", "86400", "-d", "600", "-n", "1024"},  // a slow slip event
                             600,
                             59,
                             38,
                             "613800.0000,  0.0000000E+00,      1.0000000,  0.0000000E+00"},
                        Case{{"-r", "2", "-d", "0.00025", "-n", "32768"},
                             0.00025,
                             57,
                             36,
                             "  8.19175,      0.0000000,      1.0000000,      0.0000000"}}) {
    Scratch d;
    std::vector<std::string> args = k.args;
    args.push_back("--no-wait");
    ASSERT_EQ(code(run({.dir = d.path(), .args = args})), 0);
    for (const char* name : {"Ramp_Slip.csv", "Ramp_Amp.csv"}) {
      std::vector<std::string> v = lines(read_file(d.file(name)));
      const bool slip = name[5] == 'S';
      const size_t len = slip ? k.slip_row : k.amp_row, nt = slip ? v.size() - 1 : v.size() * 2;
      const double step = slip ? k.dt : 1 / (static_cast<double>(nt) * k.dt);
      std::string before, peak[4];
      double most[4] = {};
      for (size_t i = 1; i < v.size(); ++i) {
        ASSERT_EQ(v[i].size(), len) << name << " line " << i + 1;
        ASSERT_EQ(v[i].find('*'), std::string::npos) << name << " line " << i + 1;
        std::istringstream row(v[i]);
        std::string f[4];
        for (std::string& field : f) std::getline(row, field, ',');
        ASSERT_NE(f[0], before) << name << " line " << i + 1;
        ASSERT_NEAR(std::stod(f[0]), static_cast<double>(slip ? i - 1 : i) * step, step / 20)
            << name << " line " << i + 1;
        before = f[0];
        for (int c : {1, 3}) {
          if (slip && std::fabs(std::stod(f[c])) > most[c]) {
            most[c] = std::fabs(std::stod(f[c]));
            peak[c] = f[c];
          }
        }
      }
      if (slip) {
        EXPECT_GE(digits(peak[1]), 6u) << peak[1];
        EXPECT_GE(digits(peak[3]), 6u) << peak[3];
        EXPECT_EQ(v.back(), k.last);
      }
    }
  }
}

// Help and the version on standard output; bad usage on standard error with
// status 2, nothing on standard output and no file written.
TEST(Options, HelpVersionAndBadUsage) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out, err;  // the whole of standard output; the start of standard error
  };
  const std::string try_help = "Try 'Ramp-SlipV --help'.\n";
  const std::string help =
      "Usage: Ramp-SlipV [OPTION]...\n"
      "Write the slip, slip velocity and slip acceleration of a smooth ramp (a tanh\n"
      "step from 0 to 1) to Ramp_Slip.csv, and the amplitude spectra of its velocity\n"
      "and acceleration to Ramp_Amp.csv; report on the console and wait for a line.\n"
      "\n"
      "  -r, --rise-time=SECONDS  rise time of the ramp (default 3.8)\n"
      "  -d, --dt=SECONDS         time step (default 0.01)\n"
      "  -n, --samples=N          number of samples: a power of two from 2 to\n"
      "                           16777216 (default 8192)\n"
      "  -c, --centre=SECONDS     centre of the ramp (default half the rise time)\n"
      "  -C, --directory=DIR      write the two files in DIR, an existing folder\n"
      "      --no-wait            end after the report, without the closing prompt\n"
      "  -h, --help               show this help and exit\n"
      "      --version            show the version and exit\n"
      "\n"
      "SECONDS is a decimal number from 1e-9 to 1e9. A series that ends before the\n"
      "ramp has settled, or a time step above a tenth of the rise time, runs with a\n"
      "warning on standard error.\n"
      "\n"
      "Exit status: 0 at the normal end, 1 after an interrupt or a termination\n"
      "request, 2 for bad usage; a run-time error ends the run with an abort.\n";
  for (const Case& k : {
           Case{{"--help"}, 0, help, ""},
           Case{{"--version"}, 0, "Ramp-SlipV " RAMP_VERSION "\n", ""},
           Case{{"-n", "1000"},
                2,
                "",
                "Ramp-SlipV: invalid value '1000' for --samples: a power of two from 2 to "
                "16777216 is needed; the nearest are 512 and 1024\n" +
                    try_help},
           Case{{"--rise-time", "3.8x"}, 2, "", "Ramp-SlipV: invalid value '3.8x' for"},
           Case{{"--dt="}, 2, "", "Ramp-SlipV: option --dt needs a value"},
           Case{{"-C", "missing"}, 2, "", "Ramp-SlipV: invalid value 'missing' for --directory"},
           Case{{"--no-wait", "stray"}, 2, "", "Ramp-SlipV: unexpected argument 'stray'"},
       }) {
    Scratch d;
    write_file(d.file("Ramp_Slip.csv"), "older\n");
    Result r = run({.dir = d.path(), .args = k.args});
    EXPECT_EQ(code(r), k.status) << k.args[0];
    EXPECT_EQ(unstored(r.out), k.out) << k.args[0];
    EXPECT_EQ(unstored(r.err).substr(0, k.err.size()), k.err) << k.args[0];
    if (k.status == 2) {
      EXPECT_EQ(r.out, "");
      EXPECT_EQ(unstored(r.err).substr(unstored(r.err).find('\n') + 1), try_help);
    }
    EXPECT_EQ(read_file(d.file("Ramp_Slip.csv")), "older\n") << k.args[0];
    EXPECT_EQ(read_file(d.file("Ramp_Amp.csv")), "") << k.args[0];
  }
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
  expect_fatal(r, kConsoleBeforeAmpFile,
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

// A signal while start-up registers the end of the process, stopped by gdb
// inside the C library's atexit with its lock of the exit handlers held: the
// run ends once start-up is done, never waiting for that lock.
TEST(Signals, DuringStartUpEndTheRunOnceItIsDone) {
  POSIX_ONLY("gdb");
  if (!has("gdb")) GTEST_SKIP() << "gdb is missing (apt-get install gdb)";
  Scratch d;
  std::string said =
      output("cd " + d.path() +
             // a leak check cannot run under a tracer: not asked for
             " && ASAN_OPTIONS=detect_leaks=0 timeout 20 gdb -batch -ex 'break main' "
             "-ex 'run --no-wait "
             "</dev/null >/dev/null 2>err' -ex 'break __new_exitfn' -ex continue "
             "-ex delete -ex 'signal SIGINT' " RAMP_PROGRAM " 2>&1");
  if (said.find("Breakpoint 2,") == std::string::npos)
    GTEST_SKIP() << "gdb finds no __new_exitfn: the C library's symbols are missing (apt-get "
                    "install libc6-dbg)";
  EXPECT_NE(said.find("exited with code 01"), std::string::npos) << said;
  EXPECT_EQ(read_file(d.file("err")), "Interrupt\n");
  EXPECT_NE(access(d.file("Ramp_Slip.csv").c_str(), F_OK), 0);  // ended before the program
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
