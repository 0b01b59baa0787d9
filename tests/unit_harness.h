// Runs run-time statements in this process on a scratch unit.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "internal.h"
#include "platform.h"
#include "rio.h"

namespace testing_support {

constexpr int32_t kUnit = 20;

// The control list of an open of unit on the file name (null: "fort.<unit>"),
// with status stat and the err flag err.
rio::olist open_list(int32_t unit, const char* name, const char* stat = "unknown", int32_t err = 0);

// Connects kUnit to a fresh file, runs body, closes the unit and returns
// what the file holds, its line ends as line feeds.
std::string on_unit(const std::function<void()>& body);

// One list-directed record of the items that body transfers to kUnit.
std::string lio(const std::function<void()>& items);
void text(std::string_view s);
void real(double x);
void integer(int32_t n);

// One formatted statement on kUnit with these values; the file's bytes.
std::string fmt(const char* format, std::initializer_list<double> values);
// The record of one value in a field, without its line feed.
std::string field(const std::string& descriptor, double x);

}  // namespace testing_support
