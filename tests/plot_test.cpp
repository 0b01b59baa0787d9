// The picture of a real run's two files, drawn by gnuplot.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "spawn.h"

using namespace testing_support;

namespace {

uint32_t big_endian(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(s[at + i]);
  return v;
}

TEST(Plot, ScriptDrawsThePictureOfARun) {
  if (!has("gnuplot")) GTEST_SKIP() << "gnuplot is not installed (apt-get install gnuplot-nox)";
  // The default run, and one at another rise time given to the script.
  struct Case {
    std::vector<std::string> args;
    std::string define;
  };
  for (const Case& k :
       {Case{{}, ""}, Case{{"-r", "0.5", "-d", "0.001", "-n", "16384", "-c", "1", "--no-wait"},
                           "-e 'tau=0.5' "}}) {
    Scratch d;
    ASSERT_EQ(code(run({.dir = d.path(), .args = k.args})), 0);
    std::string cmd =
        "cd '" + d.path() + "' && gnuplot " + k.define + "'" RAMP_SOURCE_DIR "/tools/plot.gp' 2>&1";
    int status = -1;
    std::string said = output(cmd, &status);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << said;
    std::string png = read_file(d.file("Ramp.png"));
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(png.substr(12, 4), "IHDR");
    EXPECT_EQ(big_endian(png, 16), 1000u);  // width
    EXPECT_EQ(big_endian(png, 20), 1100u);  // height
    // The committed picture is one of these.
    std::string docs = read_file(RAMP_SOURCE_DIR "/docs/Ramp.png");
    ASSERT_GT(docs.size(), 24u);
    EXPECT_EQ(docs.substr(16, 8), png.substr(16, 8));
  }
}

}  // namespace
