// Feeds arbitrary format texts and values through formatted statements (both
// through the format's plan and through the general interpreter), and
// arbitrary doubles and widths through the field writers and the
// list-directed double, checking what must always hold.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "field_reference.h"
#include "format/fmt.h"
#include "list/lio.h"
#include "statements.h"

namespace {

constexpr int32_t kUnit = 50;      // a scratch file, connected for each valid format
constexpr int32_t kNullUnit = 51;  // /dev/null, for formats that are refused
char file_path[] = "/tmp/fuzz-format-XXXXXX";

void check(bool ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "invariant broken: %s\n", what);
    abort();
  }
}

// The most characters one pass through the parsed format can write, with
// every field at its full width. Formats that could build huge records
// (nested repeat counts over literals) are left out: they are slow, not
// wrong.
double pass_cost() {
  std::vector<double> mult{1}, sum{0};
  double pending = 1;
  for (int32_t i = 0; i < rio::f__pc; ++i) {
    const rio::syl& s = rio::f__syl[i];
    switch (s.op) {
      case rio::REPEAT:
        pending = s.p1 > 1 ? s.p1 : 1;
        break;
      case rio::GROUP_START:
        if (i > 0) {
          mult.push_back(pending);
          sum.push_back(0);
        }
        break;
      case rio::GROUP_END: {
        double m = mult.back(), v = sum.back();
        mult.pop_back();
        sum.pop_back();
        sum.back() += m * v;
        break;
      }
      case rio::QUOTED_TEXT:
        sum.back() += static_cast<double>(strlen(s.p2.s));
        break;
      case rio::F_FIELD:
      case rio::E_FIELD:
        sum.back() += pending * s.p1;
        break;
      default:
        break;
    }
  }
  return sum.front();
}

// Runs one statement of the values under format and returns the bytes it
// wrote on a fresh file (valid formats) or nothing (on /dev/null), or
// "refused" when the statement start refuses the format. reference: the
// general interpreter instead of the format's plan.
std::string statement(const std::string& format, const std::vector<double>& values, bool valid,
                      bool reference) {
  if (valid) {
    check(rio::open_unit(kUnit, file_path, 1) == 0, "the scratch file opens");
  }
  rio::f__fmtref = reference;
  rio::cilist io{1, valid ? kUnit : kNullUnit, 0, format.c_str(), 0};
  bool refused = rio::s_wsfe(&io) != 0;
  if (refused) {
    check(rio::f__init == rio::kInitialised, "a refused statement leaves no statement in progress");
  } else {
    int32_t one = 1;
    for (double v : values) check(rio::do_fio(&one, &v, sizeof v) == 0, "do_fio succeeds");
    check(rio::e_wsfe() == 0, "e_wsfe succeeds");
    check(rio::f__recpos == 0 && rio::f__init == rio::kInitialised, "the record is finished");
  }
  rio::f__fmtref = false;
  if (!valid) return refused ? "refused" : "";
  check(rio::close_unit(kUnit, 1) == 0, "the scratch file closes");
  std::string bytes;
  if (FILE* f = fopen(file_path, "rb")) {
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) bytes.append(buf, n);
    fclose(f);
  }
  return refused ? "refused" : bytes;
}

// A format's statement through its plan, on the parse kept from a copy of
// the text at another address (which is gone by then), gives the bytes of
// the general interpreter on a fresh parse.
void statements(const std::string& format, const std::vector<double>& values) {
  bool valid;
  {
    // Parse a copy first to judge the cost; the statements parse again or
    // reuse this parse.
    std::string copy = format;
    rio::cilist probe{1, kNullUnit, 0, copy.c_str(), 0};
    rio::f__elist = &probe;
    rio::f__fmtbuf = copy.c_str();
    valid = rio::pars_f(copy.c_str()) == 0;
    if (valid && pass_cost() > 20000) return;
    rio::f__init = rio::kInitialised;
  }
  std::string planned = statement(format, values, valid, false);
  check(valid == (planned != "refused"), "a format is refused exactly when it does not parse");
  rio::cilist none{1, kNullUnit, 0, "", 0};
  rio::f__elist = &none;
  rio::f__fmtbuf = "";
  check(rio::pars_f("") != 0, "an empty text is no format");
  check(statement(format, values, valid, true) == planned,
        "the plan writes what the interpreter writes");
}

template <typename T>
T take(const uint8_t*& p, const uint8_t* end) {
  T v{};
  if (static_cast<size_t>(end - p) >= sizeof v) {
    memcpy(&v, p, sizeof v);
    p += sizeof v;
  }
  return v;
}

void fields(const uint8_t* p, const uint8_t* end) {
  while (end - p >= 11) {
    double x = take<double>(p, end);
    int32_t w = take<uint8_t>(p, end) % 120 + 1;
    int32_t d = take<uint8_t>(p, end) % 60;
    bool e = take<uint8_t>(p, end) & 1;
    rio::f__recpos = 0;
    rio::f__putn = rio::x_putc;
    if (e)
      rio::wrt_E(reinterpret_cast<const char*>(&x), w, d, 0, 8);
    else
      rio::wrt_F(reinterpret_cast<const char*>(&x), w, d, 8);
    check(rio::f__recpos == w, "a field is exactly its width");
    // An F field is the one built from the stream library's text.
    if (!e && std::isfinite(x))
      check(std::string(rio::f__buf, static_cast<size_t>(w)) ==
                testing_support::f_field_reference(x, w, d),
            "an F field's digits");
    rio::f__recpos = 0;
    char buf[64];
    int n = rio::l_g(buf, x);
    check(n == static_cast<int>(strlen(buf)) && n >= 4 && n < 40, "a list-directed double");
    check(buf[0] == ' ' && (buf[1] == ' ' || buf[1] == '-'), "blank and sign position");
    check(!std::isfinite(x) || strchr(buf, '.') != nullptr, "a finite double has a point");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  rio::f_init();
  int fd = mkstemp(file_path);
  if (fd < 0) abort();
  close(fd);
  atexit([] { unlink(file_path); });
  if (rio::open_unit(kNullUnit, "/dev/null", 1) != 0) abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t* p = data + 1;
  const uint8_t* end = data + size;
  if (data[0] & 1) {
    fields(p, end);
    return 0;
  }
  // A format text up to the first NUL, then up to 16 values.
  const uint8_t* nul = static_cast<const uint8_t*>(memchr(p, 0, static_cast<size_t>(end - p)));
  const uint8_t* fend = nul != nullptr ? nul : end;
  // At most two operations per character: a short text stays within the
  // 300-operation table, whose overflow ends the run by design.
  if (fend - p > 140) return 0;
  std::string format(reinterpret_cast<const char*>(p), static_cast<size_t>(fend - p));
  p = nul != nullptr ? nul + 1 : end;
  std::vector<double> values;
  while (end - p >= 8 && values.size() < 16) values.push_back(take<double>(p, end));
  statements(format, values);
  return 0;
}
