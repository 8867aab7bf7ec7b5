#pragma once

#include <QString>
#include <QStringView>

#include <Qt>

#include <vector>

// How the sensor table orders its rows: numbers as numbers, other texts case-insensitively, and empty
// cells last. In either direction the numbers come first, then the texts, then the empty cells, so
// that reversing a column of readings never brings a column's blanks to the top.
namespace SensorSort {

// A cell's text as a number: spaces around it are ignored and "." or "," is the decimal separator.
// Infinite and not-a-number texts are no numbers.
bool toNumber(QStringView text, double *number);

struct Key {
    enum Kind : unsigned char { Number, Text, Empty };
    Kind kind = Empty;
    double number = 0;
    QString text; // a copy, for texts that are no numbers only
    int row = 0;  // what is being ordered (its place before sorting breaks ties)
};

Key keyOf(QStringView cell, int row);
// Orders the keys; equal keys keep their order.
void sort(std::vector<Key> &keys, Qt::SortOrder order);

} // namespace SensorSort
