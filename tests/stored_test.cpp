// Both files of a run byte for byte, with the platform's line ends.
#include <gtest/gtest.h>

#include <cstdint>

#include "golden.h"
#include "spawn.h"

using namespace testing_support;

namespace {

uint64_t fnv1a(const std::string& s) {
  uint64_t h = 0xcbf29ce484222325u;
  for (unsigned char c : s) h = (h ^ c) * 0x100000001b3u;
  return h;
}

// Every byte is the Linux run's (known by its length and hash), and every
// line feed is stored as the platform stores it: unstored shows a line feed
// stored otherwise, and keeps any other byte, so the hash tells them too.
TEST(Files, EveryByteAsTheLinuxRunWithThePlatformsLineEnds) {
  struct Case {
    const std::string& bytes;
    size_t size;
    uint64_t hash;
  };
  for (Case k : {Case{complete().slip, 466988, 0x9c4a5dca3cc3e257u},
                 Case{complete().amp, 147448, 0xda10d711569f82abu}}) {
    std::string text = unstored(k.bytes);
    EXPECT_EQ(text.size(), k.size);
    EXPECT_EQ(fnv1a(text), k.hash);
  }
}

}  // namespace
