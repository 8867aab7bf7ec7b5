#pragma once

#include <string>
#include <string_view>

// Numbers as the program writes and reads them in text: counters, window geometry, the settings record.
//
// general() is the classic general form: the shortest text that gives the value to `precision`
// significant digits (15 for double, 7 for single), no group separators, "." as decimal separator, a
// leading "-" for negatives, and the exponent form ("1E+15", "1.234568E+07", "1E-05") once the decimal
// exponent reaches the precision or falls below -4. Independent of the locale.
//
// parse() takes surrounding spaces, an optional sign, digits with one "." and an optional exponent;
// anything else (another decimal separator, words, infinities, overflow) is refused.
//
// Plain C++ with no toolkit, so that it builds for every target the program has.
namespace NumberFormat {

constexpr int DoublePrecision = 15;
constexpr int SinglePrecision = 7;

std::string general(double value, int precision);
bool parse(std::string_view text, double &value);

} // namespace NumberFormat
