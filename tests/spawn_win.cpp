// Runs the built program in a scratch folder, on Windows: a process started
// with CreateProcess, its standard streams on pipes read in binary.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <io.h>
#include <sys/wait.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "spawn.h"

namespace testing_support {

namespace {

// The processes started and not yet collected, by id.
std::map<pid_t, HANDLE> processes;

// The program's path. A path of the build machine, where the tests run under
// Wine, is reached through Wine's drive Z:.
std::string program() {
  std::string p = RAMP_PROGRAM;
  return p[0] == '/' ? "Z:" + p : p;
}

// A pipe whose one end the child inherits; the other end becomes a binary
// descriptor of this process.
HANDLE pipe_end(int* ours, bool child_reads) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE r = nullptr, w = nullptr;
  if (!CreatePipe(&r, &w, &sa, 0)) abort();
  HANDLE mine = child_reads ? w : r;
  SetHandleInformation(mine, HANDLE_FLAG_INHERIT, 0);
  *ours = _open_osfhandle(reinterpret_cast<intptr_t>(mine),
                          (child_reads ? _O_WRONLY : _O_RDONLY) | _O_BINARY);
  return child_reads ? r : w;
}

void drain(int fd, std::string* into) {
  char buf[4096];
  for (int n; (n = _read(fd, buf, sizeof buf)) > 0;) into->append(buf, static_cast<size_t>(n));
  _close(fd);
}

}  // namespace

Child::Child(const Run& run) {
  HANDLE in = pipe_end(&in_, true), out = pipe_end(&out_, false), err = pipe_end(&err_, false);
  HANDLE file = nullptr;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = in;
  si.hStdOutput = out;
  si.hStdError = err;
  if (!run.stdout_path.empty()) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    file = CreateFileA(run.stdout_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       &sa, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    si.hStdOutput = file;
  }
  if (run.close_stdout) si.hStdOutput = nullptr;
  std::string prog = program(), cmdline = "\"" + prog + "\"";
  for (const std::string& a : run.args) cmdline += " \"" + a + "\"";
  PROCESS_INFORMATION pi{};
  // A new process group does not see the console's interrupts.
  DWORD flags = run.ignore_sigint ? CREATE_NEW_PROCESS_GROUP : 0;
  if (!CreateProcessA(prog.c_str(), cmdline.data(), nullptr, nullptr, TRUE, flags, nullptr,
                      run.dir.c_str(), &si, &pi))
    abort();
  for (HANDLE h : {in, out, err, file})
    if (h != nullptr && h != INVALID_HANDLE_VALUE) CloseHandle(h);
  CloseHandle(pi.hThread);
  pid_ = static_cast<pid_t>(pi.dwProcessId);
  processes[pid_] = pi.hProcess;
  if (!run.input.empty() &&
      _write(in_, run.input.data(), static_cast<unsigned>(run.input.size())) !=
          static_cast<int>(run.input.size()))
    abort();
  if (!run.keep_stdin) {
    _close(in_);
    in_ = -1;
  }
}

bool has(const std::string& tool) {
  return std::system(("where " + tool + " >nul 2>&1").c_str()) == 0;
}

int read_some(int fd, char* buf, size_t n) {
  return static_cast<int>(_read(fd, buf, static_cast<unsigned>(n)));
}

// Windows sends no signals to another process: the run is ended at once,
// with the status a run ended by the signal shows.
void Child::signal(int signo) { TerminateProcess(processes[pid_], static_cast<UINT>(128 + signo)); }

Result Child::finish() {
  Result r;
  if (in_ >= 0) _close(in_);
  in_ = -1;
  // Both pipes are read together, so that a full one cannot stall the run.
  r.out = out_text_;
  std::thread errors(drain, err_, &r.err);
  drain(out_, &r.out);
  errors.join();
  HANDLE h = processes[pid_];
  WaitForSingleObject(h, INFINITE);
  DWORD exit_code = 0;
  GetExitCodeProcess(h, &exit_code);
  CloseHandle(h);
  processes.erase(pid_);
  r.status = exit_code == 3 ? SIGABRT : static_cast<int>(exit_code & 0xff) << 8;
  pid_ = -1;
  return r;
}

Result run(const Run& run) { return Child(run).finish(); }

// A death test runs its test again in a process of its own, which must find
// the same folders: they are named after the test and counted within it.
Scratch::Scratch(bool) {
  static std::string test;
  static int count;
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "none";
  if (name != test) {
    test = name;
    count = 0;
  }
  namespace fs = std::filesystem;
  fs::path p = fs::temp_directory_path() / ("ramp-" + name + "-" + std::to_string(++count));
  std::error_code ec;
  if (!strstr(GetCommandLineA(), "internal_run_death_test")) fs::remove_all(p, ec);
  fs::create_directories(p);
  path_ = p.generic_string();
}

Scratch::~Scratch() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

}  // namespace testing_support
