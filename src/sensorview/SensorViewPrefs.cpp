#include "sensorview/SensorViewPrefs.h"

namespace {
const QLatin1String View("view"), Hide("hide"), HideHost("hide-host");

QString quoted(const QString &pattern) {
    const bool quote = pattern.contains(QLatin1Char('#')) || pattern.startsWith(QLatin1Char('"')) ||
                       (!pattern.isEmpty() && (pattern.front().isSpace() || pattern.back().isSpace()));
    if (!quote)
        return pattern;
    QString q = pattern;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

// A pattern as written: the whole trimmed text, or the text between double quotes.
bool unquoted(QStringView text, QString *pattern, QString *error) {
    const QStringView t = text.trimmed();
    if (!t.startsWith(QLatin1Char('"'))) {
        *pattern = t.toString();
        return true;
    }
    QString out;
    for (qsizetype i = 1; i < t.size(); ++i) {
        if (t[i] != QLatin1Char('"')) {
            out += t[i];
        } else if (i + 1 < t.size() && t[i + 1] == QLatin1Char('"')) {
            out += QLatin1Char('"');
            ++i;
        } else if (i + 1 == t.size()) {
            *pattern = out;
            return true;
        } else {
            *error = QStringLiteral("text after the closing quote");
            return false;
        }
    }
    *error = QStringLiteral("the quote is not closed");
    return false;
}
} // namespace

bool SensorViewPrefs::handles(QStringView keyword) {
    return keyword.compare(View, Qt::CaseInsensitive) == 0 ||
           keyword.compare(Hide, Qt::CaseInsensitive) == 0 ||
           keyword.compare(HideHost, Qt::CaseInsensitive) == 0;
}

bool SensorViewPrefs::parse(QStringView keyword, QStringView arguments, QString *error) {
    QString ignored;
    QString &why = error ? *error : ignored;
    if (keyword.compare(View, Qt::CaseInsensitive) == 0) {
        const QStringView which = arguments.trimmed();
        if (which.compare(QLatin1String("by-sensor"), Qt::CaseInsensitive) == 0)
            bySensor = true;
        else if (which.compare(QLatin1String("readings"), Qt::CaseInsensitive) == 0)
            bySensor = false;
        else {
            why = QStringLiteral("\"view\" takes \"by-sensor\" or \"readings\"");
            return false;
        }
        return true;
    }
    const bool host = keyword.compare(HideHost, Qt::CaseInsensitive) == 0;
    if (!host && keyword.compare(Hide, Qt::CaseInsensitive) != 0) {
        why = QStringLiteral("unknown keyword");
        return false;
    }
    QString pattern;
    if (!unquoted(arguments, &pattern, &why))
        return false;
    if (pattern.isEmpty()) {
        why = host ? QStringLiteral("\"hide-host\" needs a pattern")
                   : QStringLiteral("\"hide\" needs a pattern");
        return false;
    }
    QStringList &list = host ? hideHost : hide;
    if (!list.contains(pattern))
        list.append(pattern);
    return true;
}

QStringList SensorViewPrefs::lines() const {
    QStringList out{bySensor ? QStringLiteral("view by-sensor") : QStringLiteral("view readings")};
    for (const QString &p : hide)
        out << QLatin1String("hide ") + quoted(p);
    for (const QString &p : hideHost)
        out << QLatin1String("hide-host ") + quoted(p);
    return out;
}
