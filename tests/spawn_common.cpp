// What the spawning helpers share on every platform: files read and written
// whole, a complete run's files, and the exit code of a run.
#include <sys/wait.h>

#include <fstream>
#include <sstream>

#include "spawn.h"

namespace testing_support {

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
