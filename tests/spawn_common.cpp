// What the spawning helpers share on every platform: waiting for a child's
// output, files read and written whole and split in lines and fields, a shell
// command's output, a complete run's files, and the exit code of a run.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform.h"
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

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> v;
  std::istringstream s(unstored(text));
  for (std::string l; std::getline(s, l);) v.push_back(l);
  return v;
}

std::vector<double> fields(const std::string& row) {
  std::vector<double> v;
  std::istringstream s(row);
  for (std::string f; std::getline(s, f, ',');)
    if (!f.empty()) v.push_back(std::stod(f));
  return v;
}

std::string output(const std::string& command, int* status) {
  std::string text;
  FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return text;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) text.append(buf, n);
  int s = pclose(p);
  if (status != nullptr) *status = s;
  return text;
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

void expect_fatal(const Result& r, const std::string& first_lines) {
  EXPECT_EQ(unstored(r.err).substr(0, first_lines.size()), first_lines);
  EXPECT_TRUE(WIFSIGNALED(r.status) && WTERMSIG(r.status) == SIGABRT) << r.status;
}

void expect_fatal(const Result& r, const std::string& console, const std::string& report) {
  expect_fatal(r, unstored(report));
  EXPECT_EQ(r.out, console);
  EXPECT_EQ(r.err, report);
}

}  // namespace testing_support
