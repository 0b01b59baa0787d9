// Runs the built program in a scratch folder, as a user meets it.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace testing_support {

struct Run {
  std::string dir;                // working folder
  std::vector<std::string> args;  // the command line after the program's name
  std::string input;              // written to standard input, which is then closed
  bool keep_stdin = false;        // leave standard input open after the input
  std::string stdout_path;        // standard output to this file instead of a pipe
  int stdout_fd = -1;             // or to this descriptor, its description shared (POSIX)
  bool unprivileged = false;
  bool ignore_sigint = false;
  bool close_stdout = false;       // start with standard output closed
  bool stderr_to_stdout = false;   // standard error where standard output goes (POSIX)
  long file_size_limit = 0;        // files may not grow beyond this, as on a full disk
  unsigned alarm_s = 0;            // the run is ended by SIGALRM after this many seconds
  std::vector<std::string> under;  // a command that runs the program (a tracer), or none
};

struct Result {
  int status = 0;  // as from waitpid
  std::string out, err;
};

// A started run; finish() collects it.
class Child {
 public:
  explicit Child(const Run& run);
  ~Child();
  // Reads standard output until it holds text; false at its end.
  bool wait_for(const std::string& text);
  void signal(int signo);
  Result finish();
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int in_ = -1, out_ = -1, err_ = -1;
  std::string out_text_;
};

Result run(const Run& run);

// Reads at most n bytes of fd into buf: how many, 0 at its end, below 0 on
// an error. Each platform's own read.
int read_some(int fd, char* buf, size_t n);

// A fresh folder under /tmp, removed at destruction. With open_to_all it is
// writable by the unprivileged user too.
class Scratch {
 public:
  explicit Scratch(bool open_to_all = false);
  ~Scratch();
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& text);

// The lines of stored text, without their line ends.
std::vector<std::string> lines(const std::string& text);
// The numbers of a row of comma-separated fields; empty fields are left out.
std::vector<double> fields(const std::string& row);

// The standard output of a shell command; its status (as from waitpid) in
// *status when given.
std::string output(const std::string& command, int* status = nullptr);
// Whether a tool is found on the search path.
bool has(const std::string& tool);

// The exit status, or 128 + the signal number for a run ended by a signal.
int code(const Result& r);

// A run that ended on a fatal condition: by an abort, its report on standard
// error beginning with first_lines (line ends as line feeds).
void expect_fatal(const Result& r, const std::string& first_lines);
// The same, with the whole report, after the console records written so far.
void expect_fatal(const Result& r, const std::string& console, const std::string& report);

// The two files of a complete run, made once.
struct Files {
  std::string slip, amp;
};
const Files& complete();

}  // namespace testing_support
