#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

// Reads comma-separated text fields the way the settings file is read: spaces before a field are
// skipped; a field ends at a comma, a line end (CR, LF or CR LF) or the end of the text; a field that
// begins with a double quotation mark runs to the next one (the marks are not part of it, and anything
// after the closing mark up to the next comma or line end is passed over). Fields may therefore stand
// on separate lines, and whatever follows the last wanted field is ignored.
namespace SequentialReader {

struct Result {
    QStringList fields;    // the fields read, at most the number wanted
    bool complete = false; // false when the text ended before the last wanted field began
};

Result read(QStringView text, int wanted);

} // namespace SequentialReader
