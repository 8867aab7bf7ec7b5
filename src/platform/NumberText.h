#pragma once

#include <QString>
#include <QStringView>

// The number <-> text conversions the program uses wherever a number is shown or stored as text:
// counters, window geometry and the settings record.
//
// Number to text is the classic "general" form: the shortest text that gives the value to 15
// significant digits (double) or 7 (single); no group separators, "." as decimal separator, a leading
// "-" for negatives, and the exponent form ("1E+15", "1.234568E+07", "1E-05") once the decimal
// exponent reaches the precision or falls below -4.
namespace NumberText {

QString fromDouble(double value);
QString fromSingle(float value);

// Text to number: surrounding spaces are skipped; the rest must be a decimal number with an optional
// sign, "." as decimal separator and an optional exponent. Anything else sets *ok to false and returns 0.
double toDouble(QStringView text, bool *ok);
float toSingle(QStringView text, bool *ok);

} // namespace NumberText
