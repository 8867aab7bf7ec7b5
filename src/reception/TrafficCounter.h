#pragma once

#include <QString>

// A traffic counter whose text is what the user sees ("0", "1234", "1E+15"). Adding reads the number
// the text stands for, adds, and writes the sum back in the general number form; the number is kept
// beside the text so that a datagram costs no text round trip, and the text is formed only when read.
// A text that is not a number counts as 0 at the next addition.
class TrafficCounter {
public:
    const QString &text() const;
    void setText(const QString &text);
    void add(double amount);
    double value() const { return valueKnown_ ? value_ : 0; }

private:
    mutable QString text_ = QStringLiteral("0");
    mutable bool textStale_ = false;
    double value_ = 0;
    bool valueKnown_ = true;
};
