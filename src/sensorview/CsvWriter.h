#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

// A table as it is written out: a header line and rows of cell texts.
struct CsvTable {
    QStringList header;
    std::vector<bool> numeric; // per column: cells that are numbers are written as numbers
    std::vector<QStringList> rows;
};

namespace CsvWriter {

// RFC 4180 in UTF-8: CR LF after every line, the header line first. A cell of a numeric column that is
// a number is written as the number (spaces dropped, "." as decimal separator); every other field is
// quoted when it holds a comma, a quote, a line break or spaces at either end, quotes doubled.
QByteArray csv(const CsvTable &table);
// One field as csv() writes it.
QString field(const QString &text, bool numeric);
// Rows of cells as tab-separated text for the clipboard: tabs and line breaks in a cell become spaces,
// lines end with LF.
QString tabSeparated(const std::vector<QStringList> &rows);

} // namespace CsvWriter
