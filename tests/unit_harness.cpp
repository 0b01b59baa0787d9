#include "unit_harness.h"

#include <cstring>

#include "spawn.h"
#include "statements.h"

namespace testing_support {

rio::olist open_list(int32_t unit, const char* name, const char* stat, int32_t err) {
  return rio::olist{err,    unit,    name,    name ? static_cast<int32_t>(strlen(name)) : 0,
                    stat,   nullptr, nullptr, 0,
                    nullptr};
}

std::string on_unit(const std::function<void()>& body) {
  Scratch d;
  std::string path = d.file("unit");
  rio::olist o = open_list(kUnit, path.c_str());
  rio::f_open(&o);
  body();
  rio::cllist c{0, kUnit, nullptr};
  rio::f_clos(&c);
  return unstored(read_file(path));
}

std::string lio(const std::function<void()>& items) {
  return on_unit([&] {
    rio::cilist io{0, kUnit, 0, nullptr, 0};
    rio::s_wsle(&io);
    items();
    rio::e_wsle();
  });
}

void text(std::string_view s) { rio::item(s); }
void real(double x) { rio::item(x); }
void integer(int32_t n) { rio::item(n); }

std::string fmt(const char* format, std::initializer_list<double> values) {
  return on_unit([&] {
    rio::cilist io{0, kUnit, 0, format, 0};
    rio::s_wsfe(&io);
    int32_t one = 1;
    for (double v : values) rio::do_fio(&one, &v, sizeof v);
    rio::e_wsfe();
  });
}

std::string field(const std::string& descriptor, double x) {
  std::string format = "(" + descriptor + ")";
  std::string r = fmt(format.c_str(), {x});
  if (!r.empty() && r.back() == '\n') r.pop_back();
  return r;
}

}  // namespace testing_support
