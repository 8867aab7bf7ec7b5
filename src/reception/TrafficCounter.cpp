#include "reception/TrafficCounter.h"

#include "text/NumberText.h"

#include <cmath>

const QString &TrafficCounter::text() const {
    if (textStale_) {
        text_ = NumberText::fromDouble(value_);
        textStale_ = false;
    }
    return text_;
}

void TrafficCounter::setText(const QString &text) {
    text_ = text;
    textStale_ = false;
    value_ = NumberText::toDouble(text, &valueKnown_);
}

void TrafficCounter::add(double amount) {
    const double sum = (valueKnown_ ? value_ : 0) + amount;
    if (!std::isfinite(sum))
        return; // beyond the number range: keep the last count
    value_ = sum;
    valueKnown_ = true;
    textStale_ = true;
}
