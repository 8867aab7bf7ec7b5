#include "rules/Rules.h"

#include <cmath>

AlarmLevel Bounds::level(double value) const {
    if (std::isnan(value))
        return AlarmLevel::None;
    // Comparisons with an absent (NaN) bound are false.
    if (value > crit || value < lowCrit)
        return AlarmLevel::Critical;
    if (value > warn || value < lowWarn)
        return AlarmLevel::Warning;
    return AlarmLevel::None;
}

const Bounds *RuleSet::boundsFor(QStringView sensorName) const {
    const int index = indexFor(sensorName);
    return index < 0 ? nullptr : &thresholds[size_t(index)].bounds;
}

int RuleSet::indexFor(QStringView sensorName) const {
    const QStringView name = sensorName.trimmed();
    for (size_t i = 0; i < thresholds.size(); ++i)
        if (Glob::matches(thresholds[i].pattern, name))
            return int(i);
    return -1;
}

namespace Glob {
bool matches(QStringView pattern, QStringView text) {
    // Greedy matching with one backtrack point, the last '*': linear in practice, never exponential.
    qsizetype p = 0, t = 0, star = -1, resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == QLatin1Char('*')) {
            star = p++;
            resume = t;
        } else if (p < pattern.size() &&
                   (pattern[p] == QLatin1Char('?') || pattern[p].toCaseFolded() == text[t].toCaseFolded())) {
            ++p;
            ++t;
        } else if (star >= 0) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == QLatin1Char('*'))
        ++p;
    return p == pattern.size();
}
} // namespace Glob
