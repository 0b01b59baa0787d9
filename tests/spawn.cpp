#include "spawn.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace testing_support {

namespace {

// The program as an unprivileged user can run it: the build folder may lie
// where that user cannot reach, so a copy is made under /tmp once.
const std::string& program(bool unprivileged) {
  static const std::string built = RAMP_PROGRAM;
  if (!unprivileged) return built;
  static const Scratch dir(true);
  static const std::string copy = [] {
    std::string path = dir.file("Ramp-SlipV");
    std::filesystem::copy_file(built, path);
    chmod(path.c_str(), 0755);
    return path;
  }();
  return copy;
}

}  // namespace

Child::Child(const Run& run) {
  const std::string& prog = program(run.unprivileged);
  int in[2], out[2], err[2];
  if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) abort();
  pid_ = fork();
  if (pid_ == 0) {
    dup2(in[0], 0);
    if (run.stdout_fd >= 0) {
      dup2(run.stdout_fd, 1);
    } else if (run.stdout_path.empty()) {
      dup2(out[1], 1);
    } else {
      int fd = open(run.stdout_path.c_str(), O_WRONLY);
      dup2(fd, 1);
    }
    dup2(run.stderr_to_stdout ? 1 : err[1], 2);
    if (run.close_stdout) close(1);
    if (run.file_size_limit > 0) {
      // A write past the limit raises SIGXFSZ, left at its default here.
      rlimit lim{static_cast<rlim_t>(run.file_size_limit),
                 static_cast<rlim_t>(run.file_size_limit)};
      setrlimit(RLIMIT_FSIZE, &lim);
    }
    ::signal(SIGXFSZ, SIG_DFL);
    rlimit no_core{0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    if (run.alarm_s > 0) alarm(run.alarm_s);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    ::signal(SIGINT, run.ignore_sigint ? SIG_IGN : SIG_DFL);
    ::signal(SIGPIPE, SIG_DFL);
    if (chdir(run.dir.c_str()) != 0) _exit(126);
    if (run.unprivileged &&
        (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
      _exit(126);
    std::vector<char*> argv;
    for (const std::string& a : run.under) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(const_cast<char*>(prog.c_str()));
    for (const std::string& a : run.args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  in_ = in[1];
  out_ = out[0];
  err_ = err[0];
  ::signal(SIGPIPE, SIG_IGN);
  if (!run.input.empty() &&
      write(in_, run.input.data(), run.input.size()) != static_cast<ssize_t>(run.input.size()))
    abort();
  if (!run.keep_stdin) {
    close(in_);
    in_ = -1;
  }
}

int read_some(int fd, char* buf, size_t n) { return static_cast<int>(read(fd, buf, n)); }

bool has(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

void Child::signal(int signo) { kill(pid_, signo); }

Result Child::finish() {
  Result r;
  if (in_ >= 0) close(in_);
  in_ = -1;
  // Both pipes are read together, so that a full one cannot stall the run.
  r.out = out_text_;
  pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
  std::string* into[2] = {&r.out, &r.err};
  int open_fds = 2;
  while (open_fds > 0) {
    poll(fds, 2, -1);
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buf[4096];
      ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        into[i]->append(buf, static_cast<size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_fds;
      }
    }
  }
  waitpid(pid_, &r.status, 0);
  pid_ = -1;
  return r;
}

Result run(const Run& run) { return Child(run).finish(); }

Scratch::Scratch(bool open_to_all) {
  char templ[] = "/tmp/ramp-test-XXXXXX";
  path_ = mkdtemp(templ);
  if (open_to_all) chmod(path_.c_str(), 0777);
}

Scratch::~Scratch() {
  std::error_code ec;
  std::filesystem::permissions(path_, std::filesystem::perms::all, ec);
  std::filesystem::remove_all(path_, ec);
}

}  // namespace testing_support
