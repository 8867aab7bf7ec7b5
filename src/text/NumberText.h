#pragma once

#include <QString>
#include <QStringView>

// The number <-> text conversions the program uses wherever a number is shown or stored as text:
// counters, window geometry and the settings record.
//
// The toolkit side of NumberFormat (src/core): the general form of a double (15 significant digits)
// or a single (7), and text back to a number.
namespace NumberText {

QString fromDouble(double value);
QString fromSingle(float value);

// Text to number: anything that is not a number sets *ok to false and returns 0.
double toDouble(QStringView text, bool *ok);
float toSingle(QStringView text, bool *ok);

} // namespace NumberText
