#pragma once

#include <QString>
#include <QStringView>

#include <limits>
#include <vector>

// What the rules file asks of the grid: how long a cell may go unwritten before it is drawn as stale,
// and alarm bounds per sensor name.
enum class AlarmLevel : quint8 { None, Warning, Critical };

// Alarm bounds of one sensor; a bound not given is NaN and never reached. A value strictly above
// `warn` or strictly below `lowWarn` is a warning, strictly above `crit` or below `lowCrit` critical.
struct Bounds {
    static constexpr double None = std::numeric_limits<double>::quiet_NaN();
    double warn = None, crit = None, lowWarn = None, lowCrit = None;
    AlarmLevel level(double value) const;
};

struct ThresholdRule {
    QString pattern; // glob on the trimmed sensor name: '*' any run, '?' one character, any case
    Bounds bounds;
};

struct RuleSet {
    static constexpr qint64 DefaultStaleMs = 60000;
    qint64 staleMs = DefaultStaleMs; // 0: stale marking off
    std::vector<ThresholdRule> thresholds;

    // The bounds of the first rule whose pattern matches the trimmed name, or null; indexFor gives that
    // rule's place in `thresholds`, or -1.
    const Bounds *boundsFor(QStringView sensorName) const;
    int indexFor(QStringView sensorName) const;
};

namespace Glob {
// Whether `text` matches `pattern` as a whole, ignoring case.
bool matches(QStringView pattern, QStringView text);
} // namespace Glob
