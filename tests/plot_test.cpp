// The picture of a real run's two files, drawn by gnuplot.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform.h"
#include "spawn.h"

using namespace testing_support;

namespace {

uint32_t big_endian(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(s[at + i]);
  return v;
}

// The script reads each run's own values from its files (the last time, the
// velocity's peak and its time, the spectrum's frequencies), and draws them.
TEST(Plot, ScriptDrawsThePictureOfARun) {
  POSIX_ONLY("the commands are a POSIX shell's");
  if (!has("gnuplot")) GTEST_SKIP() << "gnuplot is not installed (apt-get install gnuplot-nox)";
  // The default run, and one at another rise time given to the script.
  struct Case {
    std::vector<std::string> args;
    std::string define;
    double centre, peak;  // where the velocity peaks, and its peak 2 / tau
  };
  for (const Case& k : {Case{{}, "", 1.9, 2 / 3.8},
                        Case{{"-r", "0.5", "-d", "0.001", "-n", "16384", "-c", "1", "--no-wait"},
                             "-e 'tau=0.5' ",
                             1,
                             4}}) {
    Scratch d;
    ASSERT_EQ(code(run({.dir = d.path(), .args = k.args})), 0);
    std::string cmd = "cd '" + d.path() + "' && gnuplot " + k.define +
                      "'" RAMP_SOURCE_DIR
                      "/tools/plot.gp' "
                      "-e 'print t_last, t_peak, v_max, f_first, f_last' 2>&1";
    int status = -1;
    std::string said = output(cmd, &status);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << said;
    std::vector<std::string> slip = lines(read_file(d.file("Ramp_Slip.csv")));
    std::vector<std::string> amp = lines(read_file(d.file("Ramp_Amp.csv")));
    std::istringstream values(said);
    double t_last = 0, t_peak = 0, v_max = 0, f_first = 0, f_last = 0;
    values >> t_last >> t_peak >> v_max >> f_first >> f_last;
    ASSERT_FALSE(values.fail()) << said;
    EXPECT_EQ(t_last, fields(slip.back())[0]);
    EXPECT_NEAR(t_peak, k.centre, 1e-9);
    EXPECT_NEAR(v_max, k.peak, 1e-7);
    EXPECT_EQ(f_first, fields(amp[1])[0]);
    EXPECT_EQ(f_last, fields(amp.back())[0]);
    std::string png = read_file(d.file("Ramp.png"));
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(png.substr(12, 4), "IHDR");
    EXPECT_EQ(big_endian(png, 16), 1000u);  // width
    EXPECT_EQ(big_endian(png, 20), 1100u);  // height
  }
}

}  // namespace
