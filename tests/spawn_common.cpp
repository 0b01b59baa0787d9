// What the spawning helpers share on every platform: waiting for a child's
// output, files read and written whole, a complete run's files, and the exit
// code of a run.
#include <sys/wait.h>

#include <fstream>
#include <sstream>

#include "spawn.h"

namespace testing_support {

Child::~Child() {
  if (pid_ > 0) finish();
}

bool Child::wait_for(const std::string& text) {
  char buf[4096];
  while (out_text_.find(text) == std::string::npos) {
    int n = read_some(out_, buf, sizeof buf);
    if (n <= 0) return false;
    out_text_.append(buf, static_cast<size_t>(n));
  }
  return true;
}

std::string read_file(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

void write_file(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

const Files& complete() {
  static const Files files = [] {
    Scratch d;
    Run r;
    r.dir = d.path();
    run(r);
    return Files{read_file(d.file("Ramp_Slip.csv")), read_file(d.file("Ramp_Amp.csv"))};
  }();
  return files;
}

int code(const Result& r) {
  if (WIFEXITED(r.status)) return WEXITSTATUS(r.status);
  return 128 + WTERMSIG(r.status);
}

}  // namespace testing_support
