// What the tests expect of the platform they run on.
#pragma once

#include <string>
#include <string_view>

namespace testing_support {

// The line end of the platform's text files, and of the console.
#ifdef _WIN32
inline constexpr std::string_view kLineEnd = "\r\n";
#else
inline constexpr std::string_view kLineEnd = "\n";
#endif

// Text with line feeds as the platform's text files store it.
inline std::string stored(std::string_view text) {
  std::string s;
  for (char c : text) {
    if (c == '\n')
      s += kLineEnd;
    else
      s += c;
  }
  return s;
}

// Stored text with each stored line end back to a line feed. Where a line
// end takes two bytes, a line feed without its carriage return is shown as
// "<LF>", so that no comparison with the expected text passes.
inline std::string unstored(std::string_view bytes) {
  if (kLineEnd == "\n") return std::string(bytes);
  std::string s;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r'))
      s += "<LF>";
    else
      s += bytes[i];
  }
  return s;
}

}  // namespace testing_support

// Tests of what only POSIX systems have (dropping privileges, signals sent
// from outside, file-size limits, devices such as /dev/full) skip elsewhere.
#ifdef _WIN32
#define POSIX_ONLY(why) GTEST_SKIP() << "POSIX only: " << why
#else
#define POSIX_ONLY(why) static_cast<void>(0)
#endif
