#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QStringView>

// What the sensor view remembers between runs, as lines of the rules file:
//   view by-sensor | view readings     which view the window shows
//   hide PATTERN                        a sensor column hidden (glob on the trimmed name)
//   hide-host PATTERN                   a host left out of the sensor view (glob on the host name)
// A pattern runs to the end of the line; one that has a '#', a quote or spaces at either end is
// written in double quotes, with quotes inside doubled.
struct SensorViewPrefs {
    bool bySensor = false;
    QStringList hide;
    QStringList hideHost;

    bool operator==(const SensorViewPrefs &o) const {
        return bySensor == o.bySensor && hide == o.hide && hideHost == o.hideHost;
    }
    bool operator!=(const SensorViewPrefs &o) const { return !(*this == o); }

    // Whether a line that starts with `keyword` is one of ours.
    static bool handles(QStringView keyword);
    // Applies one line's arguments (the text after the keyword, comments already removed). False, with
    // the reason in `error`, for arguments that cannot be read; nothing changes then.
    bool parse(QStringView keyword, QStringView arguments, QString *error = nullptr);
    // The lines that give these preferences back through parse(): the view first, then the patterns.
    QStringList lines() const;
};
Q_DECLARE_METATYPE(SensorViewPrefs)
