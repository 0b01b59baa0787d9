// Decimal numbers read from their text alone: the same double with every
// C++ library and in every locale.
#pragma once

#include <string_view>

namespace ramp {

// Reads the whole text v, [-]digits[.digits][(e|E)[+|-]digits] with a digit
// on at least one side of the point, as the nearest double, a tie to the one
// with an even last digit: the double of the same C++ literal. False for any
// other text (blanks, a plus sign, hexadecimal, inf, nan included) and for a
// value beyond the largest double.
bool read_decimal(std::string_view v, double* x);

}  // namespace ramp
