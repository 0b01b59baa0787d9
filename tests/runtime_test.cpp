// Units, files, the stop and the fatal reports, in this process.
#include <gtest/gtest.h>
#include <unistd.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#endif

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform.h"
#include "platform/sys.h"
#include "spawn.h"
#include "statements.h"
#include "unit_harness.h"

using namespace testing_support;

namespace {

// How an abort ends a process: by the signal, or on Windows with status 3.
#ifdef _WIN32
const auto Aborted = ::testing::ExitedWithCode(3);
#else
const auto Aborted = ::testing::KilledBySignal(SIGABRT);
#endif

// Writes text to the file at path and connects unit to it: f_open's result.
int32_t open_holding(int32_t unit, const std::string& path, const std::string& text) {
  write_file(path, text);
  rio::olist o = open_list(unit, path.c_str());
  return rio::f_open(&o);
}

using rio::close_unit;
using rio::say;

TEST(UnitFiles, CloseCutsALongerFileAndOverwritesAShorterOne) {
  Scratch d;
  std::string path = d.file("data.csv");
  for (const std::string& old : {std::string(100000, 'z'), std::string("ab")}) {
    ASSERT_EQ(open_holding(30, path, old), 0);
    say(30, "new");
    close_unit(30);
    EXPECT_EQ(read_file(path), stored(" new\n"));
  }
  // A file opened and closed without a write is left as it was.
  rio::olist o = open_list(30, path.c_str());
  rio::f_open(&o);
  close_unit(30);
  EXPECT_EQ(read_file(path), stored(" new\n"));
}

TEST(UnitFiles, ReopeningAUnit) {
  Scratch d;
  std::string a = d.file("a"), b = d.file("b");
  write_file(a, std::string(50, 'o'));
  rio::olist oa = open_list(31, a.c_str());
  rio::f_open(&oa);
  say(31, "one");
  // The same name again changes nothing: the record stays, the file is not reopened.
  rio::f_open(&oa);
  say(31, "two");
  // Another name closes the first file, cut after what was written.
  rio::olist ob = open_list(31, b.c_str());
  rio::f_open(&ob);
  say(31, "three");
  close_unit(31);
  EXPECT_EQ(read_file(a), stored(" one\n two\n"));
  EXPECT_EQ(read_file(b), stored(" three\n"));
}

// A file that a unit writes is held: another unit on it is refused its
// first write; between hold_files(true) and hold_files(false) the hold
// outlasts the unit's close.
TEST(UnitFiles, AWrittenFileIsHeldUntilItsCloseOrTheSetsEnd) {
  Scratch d;
  std::string path = d.file("held");
  rio::cilist second{1, 33, 0, nullptr, 0};
  for (bool keep : {false, true}) {
    rio::hold_files(keep);
    ASSERT_EQ(open_holding(32, path, "old\n"), 0);
    say(32, "one");
    rio::olist o = open_list(33, path.c_str());
    ASSERT_EQ(rio::f_open(&o), 0);
    EXPECT_EQ(rio::s_wsle(&second), rio::kHeld);
    close_unit(32);
    EXPECT_EQ(rio::s_wsle(&second), keep ? rio::kHeld : 0) << keep;
    rio::hold_files(false);
    if (keep) {
      EXPECT_EQ(rio::s_wsle(&second), 0);
    }
    rio::e_wsle();
    close_unit(33);
    EXPECT_EQ(read_file(path), stored("\n"));
  }
}

TEST(UnitFiles, NamesAndUnitNumbers) {
  Scratch d;
  std::string cwd = std::filesystem::current_path().string();
  ASSERT_EQ(chdir(d.path().c_str()), 0);
  rio::olist o = open_list(7, nullptr);
  EXPECT_EQ(rio::f_open(&o), 0);
  say(7, "seven");
  close_unit(7);
  EXPECT_EQ(read_file(d.file("fort.7")), stored(" seven\n"));
#ifndef _WIN32  // where a path may be longer than 260 characters
  // Trailing blanks are not part of the name, and a name may be longer than
  // any fixed buffer.
  std::string deep;
  for (int i = 0; i < 30; ++i) deep += std::string(20, static_cast<char>('a' + i % 26)) + "/";
  std::filesystem::create_directories(d.file(deep));
  std::string longname = deep + "file", padded = longname + "   ";
  rio::olist ol = open_list(8, padded.c_str(), nullptr);
  EXPECT_EQ(rio::f_open(&ol), 0);
  say(8, "deep");
  close_unit(8);
  EXPECT_EQ(read_file(d.file(longname)), stored(" deep\n"));
  std::string toolong(300, 'n');
  rio::olist ot = open_list(8, toolong.c_str());
  ot.err = 1;
  EXPECT_EQ(rio::f_open(&ot), ENAMETOOLONG);
#endif
  ASSERT_EQ(chdir(cwd.c_str()), 0);

  rio::olist bad = open_list(100, "x");
  bad.err = 1;
  EXPECT_EQ(rio::f_open(&bad), 101);
  bad.unit = -1;
  EXPECT_EQ(rio::f_open(&bad), 101);
  rio::olist blank = open_list(9, "   ", nullptr, 1);
  EXPECT_EQ(rio::f_open(&blank), 107);
  rio::cllist c100{0, 100, nullptr}, cneg{0, -5, nullptr};
  EXPECT_EQ(rio::f_clos(&c100), 0);
  EXPECT_EQ(rio::f_clos(&cneg), 0);
}

TEST(Reading, EmptyListReadConsumesOneLine) {
  Scratch d;
  std::string path = d.file("in");
  open_holding(40, path, "abc\ndef\n");
  rio::cilist io{0, 40, 1, nullptr, 0};
  EXPECT_EQ(rio::s_rsle(&io), 0);
  EXPECT_EQ(rio::e_rsle(), 0);
  EXPECT_EQ(rio::s_rsle(&io), 0);
  EXPECT_EQ(rio::e_rsle(), 0);
  EXPECT_EQ(rio::s_rsle(&io), 0);
  EXPECT_EQ(rio::e_rsle(), -1);     // end of input: no report
  EXPECT_EQ(rio::s_rsle(&io), -1);  // and it stays at the end
  close_unit(40);
}

TEST(Reading, WritingThenReadingThenWritingOneUnit) {
  Scratch d;
  std::string path = d.file("rw");
  open_holding(42, path, "abc\ndefgh\nxyz\n");
  rio::cilist io{0, 42, 1, nullptr, 0};
  EXPECT_EQ(rio::s_rsle(&io), 0);
  EXPECT_EQ(rio::e_rsle(), 0);  // past "abc"
  say(42, "one");               // written from there, and the file's last record
  EXPECT_EQ(rio::s_rsle(&io), 0);
  EXPECT_EQ(rio::e_rsle(), -1);  // so the read after it meets the end
  say(42, "two");
  close_unit(42);
  EXPECT_EQ(read_file(path), "abc\n" + stored(" one\n two\n"));
}

TEST(UnitFiles, OpenStatusesAndDeleteAtClose) {
  Scratch d;
  std::string path = d.file("s");
  rio::olist o = open_list(43, path.c_str());
  o.err = 1;
  o.stat = "old";
  EXPECT_EQ(rio::f_open(&o), ENOENT);  // "old" needs the file
  o.stat = "NEW";
  EXPECT_EQ(rio::f_open(&o), 0);
  say(43, "new");
  close_unit(43);
  EXPECT_EQ(rio::f_open(&o), 128);  // "new" refuses it now
  o.stat = "replace";
  write_file(path, std::string(100, 'r'));
  EXPECT_EQ(rio::f_open(&o), 0);
  EXPECT_EQ(read_file(path), "");
  rio::cllist del{0, 43, "delete"};
  EXPECT_EQ(rio::f_clos(&del), 0);
  EXPECT_FALSE(std::filesystem::exists(path));
  o.stat = "scratch";
  EXPECT_EQ(rio::f_open(&o), 0);
  say(43, "gone");
  close_unit(43);
  EXPECT_FALSE(std::filesystem::exists(path));
}

// The status line gives way to records on a terminal that it shares and
// comes back after them; erased, it leaves nothing on the screen.
TEST(StatusLine, GivesWayToRecordsOnATerminal) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX only: a pseudo-terminal";
#else
  int m = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_TRUE(m >= 0 && grantpt(m) == 0 && unlockpt(m) == 0);
  std::string tty = ptsname(m), shown;
  // What the terminal shows: a carriage return goes back to the line's start.
  auto screen = [&] {
    char b[4096];
    for (pollfd p{m, POLLIN, 0}; poll(&p, 1, 200) == 1;) {
      ssize_t n = read(m, b, sizeof b);
      if (n <= 0) break;
      shown.append(b, static_cast<size_t>(n));
    }
    std::vector<std::string> lines{""};
    size_t col = 0;
    for (char c : shown) {
      if (c == '\n' || c == '\r') col = 0;
      if (c == '\n') lines.emplace_back();
      if (c == '\n' || c == '\r') continue;
      std::string& l = lines.back();
      l.resize(std::max(l.size(), col + 1), ' ');
      l[col++] = c;
    }
    for (std::string& l : lines) l.erase(l.find_last_not_of(' ') + 1);
    return lines;
  };
  int err = dup(2), slave = open(tty.c_str(), O_RDWR | O_NOCTTY);
  dup2(slave, 2);
  rio::olist o = open_list(47, tty.c_str());
  rio::f_open(&o);
  rio::status_line("Ramp-SlipV: 50%");
  say(47, "a console line");
  std::vector<std::string> during = screen();
  rio::status_line("");
  close_unit(47);
  std::vector<std::string> after = screen();
  dup2(err, 2);
  close(err);
  close(slave);
  close(m);
  EXPECT_EQ(during, (std::vector<std::string>{" a console line", "Ramp-SlipV: 50%"}));
  EXPECT_EQ(after, (std::vector<std::string>{" a console line", ""}));
#endif
}

using Death = ::testing::Test;

TEST(Death, StopWithAndWithoutMessage) {
  EXPECT_EXIT(rio::s_stop("DONE", 4), ::testing::ExitedWithCode(0),
              "^STOP DONE statement executed\n$");
  EXPECT_EXIT(rio::s_stop("", 0), ::testing::ExitedWithCode(0), "^$");
}

TEST(Death, ReportsEndTheRunThroughAnAbort) {
  auto body1 = [&] {
    rio::cilist io{0, 100, 0, nullptr, 0};
    rio::s_wsle(&io);
  };
  EXPECT_EXIT(body1(), Aborted, "^stler: illegal unit number\n.*\nlast format: list io\n");
  auto body2 = [&] {
    rio::cilist io{0, 6, 0, nullptr, 0};
    rio::s_wsle(&io);
    rio::s_wsle(&io);
  };
  EXPECT_EXIT(body2(), Aborted,
              "^I/O recursion: I/O started while already doing I/O\napparent state: unit 6 "
              "\\(unnamed\\)\nlast format: list io\nlately writing .* formatted external IO\n$");
  auto body3 = [&] {
    rio::cilist io{0, 6, 0, nullptr, 0};
    rio::s_wsle(&io);
    int32_t type = 10, one = 1, v = 0;
    rio::do_lio(&type, &one, &v, 4);
  };
  EXPECT_EXIT(body3(), Aborted, "^unknown type in lio: illegal error number 204\n");
  auto body4 = [&] {
    rio::cilist io{0, 5, 0, nullptr, 0};
    rio::s_wsle(&io);
  };
  EXPECT_EXIT(body4(), Aborted, "^list output start: can't write file\n");
  auto body5 = [&] {  // the second start would repeat the first, were it ended
    const rio::cilist io{0, 6, 0, "(F4.1,'abcdefghijklmnop')", 0};
    rio::row(io, 1.0);
    rio::s_wsfe(&io);
    rio::s_wsfe(&io);
  };
  EXPECT_EXIT(body5(), Aborted, "^I/O recursion: I/O started while already doing I/O\n");
}

TEST(Death, BadFormatWritesNothingOfItsRecord) {
  Scratch d;
  std::string path = d.file("f");
  auto body5 = [&] {
    rio::olist o = open_list(41, path.c_str());
    rio::f_open(&o);
    say(41, "before");
    rio::cilist io{0, 41, 0, "(F8.4,3(',',F15.7)", 0};
    rio::s_wsfe(&io);
  };
  EXPECT_EXIT(body5(), Aborted,
              "^startio: error in format\napparent state: unit 41 named .*/f\nlast format: "
              "\\(F8.4,3\\(',',F15.7\\)\nlately writing sequential formatted external IO\n$");
  EXPECT_EQ(read_file(path), stored(" before\n"));
  auto body6 = [&] {
    rio::cilist io{0, 6, 0, "('abc", 0};
    rio::s_wsfe(&io);
  };
  EXPECT_EXIT(body6(), Aborted, "^bad string: error in format\n");
}

TEST(Death, TooManyOperations) {
  std::string big = "(";
  for (int i = 0; i < 151; ++i) big += "F4.1,";
  big += "F4.1)";
  auto body7 = [&] {
    rio::cilist io{1, 6, 0, big.c_str(), 0};
    rio::s_wsfe(&io);
  };
  EXPECT_EXIT(body7(), Aborted, "^format too complicated:\n\\(F4.1,F4.1,");
}

TEST(Death, SecondReportAbortsAtOnce) {
  auto body8 = [&] {
    rio::f_setsig();
    rio::f__reported = true;
    rio::f__fatal(101, "again");
  };
  EXPECT_EXIT(body8(), Aborted,
              "^again: illegal unit number\n\\(f__fatal already called, aborting.\\)IOT Trap\n$");
}

// An interrupt ends the run with status 1 and leaves whole records. Raised
// on the main thread between statements it acts at once; raised on another
// thread (where Windows runs a console's Ctrl+C) during a statement, it acts
// no earlier than the end of a run-time call, never inside one; raised while
// the program holds signals off, at the end of the hold. An abort that the
// process raises itself inside a run-time call (here inside a hold) ends the
// run with what a handler may do: the file cut after the last record that
// reached it (over what another writer added), no stdio, no buffer written.
TEST(Death, InterruptEndsTheRunAfterWholeRecords) {
  enum { main_thread, other_thread, program_hold, own_abort };
  for (int from : {main_thread, other_thread, program_hold, own_abort}) {
    Scratch d;
    std::string path = d.file("i");
    auto body = [&] {
      rio::f_setsig();
      atexit(+[] { rio::f_exit(); });  // as the start-up does
      rio::olist o = open_list(42, path.c_str());
      rio::f_open(&o);
      say(42, "before");
      if (from == own_abort) {
        rio::f__flush(&rio::f__units[42], "write");
        std::ofstream(path, std::ios::app) << "tail";
        say(42, "held");
        setvbuf(stderr, nullptr, _IOFBF, BUFSIZ);
        fputs("in stdio's buffer", stderr);
        rio::hold_signals(true);
        raise(SIGABRT);
      }
      if (from == program_hold) {
        rio::hold_signals(true);
        raise(SIGINT);
        say(42, "held");
        rio::hold_signals(false);
      }
      rio::cilist io{0, 42, 0, nullptr, 0};
      rio::s_wsle(&io);
      text("whole");
      if (from == other_thread)
        std::thread([] { raise(SIGINT); }).join();
      else
        raise(SIGINT);
      rio::e_wsle();
      say(42, "never");
    };
    if (from == own_abort)
      EXPECT_EXIT(body(), Aborted, "^IOT Trap\n");  // stdio's text never before it
    else
      EXPECT_EXIT(body(), ::testing::ExitedWithCode(1), "^Interrupt\n$");
    std::string got = read_file(path);
    if (from == program_hold)
      EXPECT_EQ(got, stored(" before\n held\n"));
    else if (from == own_abort)
      EXPECT_EQ(got, stored(" before\n"));
    else
      EXPECT_TRUE(got == stored(" before\n") ||
                  (from == other_thread && got == stored(" before\n whole\n")))
          << got;
  }
}

// Records handed over after the end-of-run close reach the system at once:
// the standard units stay connected, and a unit connected later writes each
// record as it comes, as nothing closes it any more.
TEST(Death, RecordsAfterTheEndOfRunClose) {
  Scratch d;
  std::string path = d.file("late");
  auto body = [&] {
    say(0, "before");
    rio::f_exit();
    say(0, "after");
    rio::olist o = open_list(44, path.c_str());
    rio::f_open(&o);
    say(44, "late");
    rio::s_stop("", 0);
  };
  EXPECT_EXIT(body(), ::testing::ExitedWithCode(0), "^ before\n after\n$");
  EXPECT_EQ(read_file(path), stored(" late\n"));
}

// A signal that comes as the run ends (here from an exit handler that runs
// before the end-of-run close) is acted on once the files are closed.
TEST(Death, SignalDuringTheFinalCloseIsActedOn) {
  Scratch d;
  std::string path = d.file("c");
  auto body = [&] {
    rio::f_setsig();
    atexit(+[] {  // as the start-up does
      rio::f__exiting = 1;
      rio::f_exit();
    });
    atexit(+[] { raise(SIGINT); });
    rio::olist o = open_list(45, path.c_str());
    rio::f_open(&o);
    say(45, "kept");
    rio::s_stop("", 0);
  };
  EXPECT_EXIT(body(), ::testing::ExitedWithCode(1), "^Interrupt\n$");
  EXPECT_EQ(read_file(path), stored(" kept\n"));
}

// The console's control handler, called as the console would call it (a
// process without a console cannot be sent its events): a close ends a write
// blocked on a pipe whose reader never reads, Ctrl+C a read waiting on one.
TEST(Death, ConsoleEventsEndWhatTheRunWaitsFor) {
#ifndef _WIN32
  GTEST_SKIP() << "Windows only: the console's control events";
#else
  for (bool writing : {true, false}) {
    auto body = [&] {
      rio::f_setsig();
      atexit(+[] {
        rio::f__exiting = 1;
        rio::f_exit();
      });
      std::string name = "\\\\.\\pipe\\ramp-test-" + std::to_string(GetCurrentProcessId());
      CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096,
                       0, nullptr);
      rio::olist o = open_list(46, name.c_str());
      rio::f_open(&o);
      std::thread([&] {
        Sleep(300);
        rio::sys::console_event(writing ? CTRL_CLOSE_EVENT : CTRL_C_EVENT);
      }).detach();
      if (writing)
        for (int i = 0; i < 100000; ++i) say(46, "a record that the pipe's reader never reads");
      rio::cilist io{0, 46, 0, nullptr, 0};
      rio::s_rsle(&io);
      rio::e_rsle();
    };
    EXPECT_EXIT(body(), ::testing::ExitedWithCode(1), writing ? "^Killed\n$" : "^Interrupt\n$");
  }
#endif
}

}  // namespace
