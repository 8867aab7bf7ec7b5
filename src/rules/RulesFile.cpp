#include "rules/RulesFile.h"
#include "text/SavedFile.h"

#include <QFile>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace RulesFile {

namespace {

bool toNumber(QStringView text, double *out) {
    QString t = text.toString();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        return false;
    *out = v;
    return true;
}

// "stale 90s": seconds, or a whole number followed by s, m or h.
bool parseStale(QStringView args, RuleSet &rules, QString *error) {
    QStringView t = args.trimmed();
    qint64 unit = 1000;
    if (!t.isEmpty()) {
        const QChar last = t.back().toLower();
        if (last == QLatin1Char('s') || last == QLatin1Char('m') || last == QLatin1Char('h')) {
            unit = last == QLatin1Char('s') ? 1000 : last == QLatin1Char('m') ? 60000 : 3600000;
            t.chop(1);
        }
    }
    bool ok = false;
    const qint64 n = t.toString().toLongLong(&ok);
    if (!ok || n < 0 || n > 7 * 24 * 3600) {
        *error = QStringLiteral("\"stale\" needs a time such as 90s, 2m or 1h");
        return false;
    }
    rules.staleMs = n * unit;
    return true;
}

struct Keyword {
    QLatin1String name;
    bool (*apply)(QStringView args, RuleSet &rules, QString *error);
};
const Keyword keywords[] = {
    {QLatin1String("stale"), parseStale},
};

double *boundOf(Bounds &b, QStringView word) {
    if (word.compare(QLatin1String("warn"), Qt::CaseInsensitive) == 0)
        return &b.warn;
    if (word.compare(QLatin1String("crit"), Qt::CaseInsensitive) == 0)
        return &b.crit;
    if (word.compare(QLatin1String("low-warn"), Qt::CaseInsensitive) == 0)
        return &b.lowWarn;
    if (word.compare(QLatin1String("low-crit"), Qt::CaseInsensitive) == 0)
        return &b.lowCrit;
    return nullptr;
}

// "PATTERN bound number [bound number ...]": the pattern runs to the first bound word.
bool parseThreshold(QStringView line, RuleSet &rules, QString *error) {
    const QList<QStringView> words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    Bounds probe;
    qsizetype first = 0;
    while (first < words.size() && !boundOf(probe, words[first]))
        ++first;
    if (first == words.size()) {
        *error =
            QStringLiteral("not a keyword, and no warn, crit, low-warn or low-crit after the sensor name");
        return false;
    }
    if (first == 0) {
        *error = QStringLiteral("a sensor name is missing before \"%1\"").arg(words[0]);
        return false;
    }
    ThresholdRule rule;
    rule.pattern = line.left(words[first].data() - line.data()).trimmed().toString();
    for (qsizetype i = first; i < words.size(); i += 2) {
        double *bound = boundOf(rule.bounds, words[i]);
        if (!bound) {
            *error = QStringLiteral("\"%1\" is not warn, crit, low-warn or low-crit").arg(words[i]);
            return false;
        }
        if (i + 1 >= words.size() || !toNumber(words[i + 1], bound)) {
            *error = QStringLiteral("\"%1\" needs a number").arg(words[i]);
            return false;
        }
    }
    rules.thresholds.push_back(rule);
    return true;
}

// The line without its comment: from the first '#' outside double quotes. A quote opens only at the
// start of a word, so that a '"' inside a sensor name (Disk 3.5") is an ordinary character.
QStringView withoutComment(QStringView line) {
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == QLatin1Char('"') &&
            (quoted || i == 0 || line[i - 1] == QLatin1Char(' ') || line[i - 1] == QLatin1Char('\t')))
            quoted = !quoted;
        else if (c == QLatin1Char('#') && !quoted)
            return line.left(i);
    }
    return line;
}

QStringView keywordOf(QStringView line) {
    line = line.trimmed();
    const qsizetype space = line.indexOf(QLatin1Char(' '));
    const qsizetype tab = line.indexOf(QLatin1Char('\t'));
    const qsizetype end = space < 0 ? tab : tab < 0 ? space : std::min(space, tab);
    return end < 0 ? line : line.left(end);
}

} // namespace

Parsed parse(QStringView text, const Extensions &extensions) {
    Parsed out;
    int number = 0;
    for (QStringView line : text.split(QLatin1Char('\n'))) {
        ++number;
        line = withoutComment(line);
        // Tabs count as spaces; a CR of a CR LF file goes.
        QString clean = line.toString();
        clean.replace(QLatin1Char('\t'), QLatin1Char(' '));
        clean.remove(QLatin1Char('\r'));
        const QStringView l = QStringView(clean).trimmed();
        if (l.isEmpty())
            continue;
        QString error;
        bool ok = true;
        if (l.contains(QChar(0xFFFD)) ||
            std::any_of(l.begin(), l.end(), [](QChar c) { return c.unicode() < 0x20; })) {
            ok = false;
            error = QStringLiteral("the line is not text");
        } else {
            const qsizetype space = l.indexOf(QLatin1Char(' '));
            const QStringView first = space < 0 ? l : l.left(space);
            const QStringView arguments = space < 0 ? QStringView() : l.mid(space + 1);
            const Keyword *keyword = nullptr;
            for (const Keyword &k : keywords)
                if (first.compare(k.name, Qt::CaseInsensitive) == 0)
                    keyword = &k;
            const Extension *extension = nullptr;
            for (const Extension &e : extensions)
                if (!keyword && !extension && e.handles(first))
                    extension = &e;
            ok = keyword     ? keyword->apply(arguments, out.rules, &error)
                 : extension ? extension->apply(first, arguments, &error)
                             : parseThreshold(l, out.rules, &error);
        }
        if (!ok)
            out.errors.push_back({number, error});
    }
    return out;
}

QString readText(const QString &path, bool *truncated, QString *failure) {
    if (truncated)
        *truncated = false;
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly)) {
        if (failure)
            *failure = file.errorString();
        return {};
    }
    const QByteArray bytes = file.read(MaxBytes + 1);
    if (truncated)
        *truncated = bytes.size() > MaxBytes;
    return QString::fromUtf8(bytes.left(MaxBytes));
}

Parsed read(const QString &path, QString *failure, const Extensions &extensions) {
    bool truncated = false;
    Parsed parsed = parse(readText(path, &truncated, failure), extensions);
    parsed.truncated = truncated;
    return parsed;
}

QString replaceLines(QStringView text, const std::function<bool(QStringView keyword)> &owned,
                     const QStringList &lines) {
    QString out;
    for (QStringView line : text.split(QLatin1Char('\n'))) {
        const QStringView keyword = keywordOf(withoutComment(line));
        if (!keyword.isEmpty() && owned(keyword))
            continue;
        out += line;
        out += QLatin1Char('\n');
    }
    // One line end at the end of the kept text, then ours.
    while (out.endsWith(QLatin1String("\n\n")))
        out.chop(1);
    if (out == QLatin1String("\n"))
        out.clear();
    for (const QString &line : lines)
        out += line + QLatin1Char('\n');
    return out;
}

bool write(const QString &path, const QString &text, QString *reason) {
    return SavedFile::replace(path, text.toUtf8(), reason);
}

QString errorMessage(const QString &path, const Parsed &parsed) {
    QString message = QStringLiteral("Some lines of %1 were skipped:").arg(path);
    constexpr size_t Shown = 5;
    for (size_t i = 0; i < parsed.errors.size() && i < Shown; ++i)
        message += QStringLiteral("\nline %1: %2").arg(parsed.errors[i].line).arg(parsed.errors[i].what);
    if (parsed.errors.size() > Shown)
        message += QStringLiteral("\nand %1 more").arg(parsed.errors.size() - Shown);
    if (parsed.truncated)
        message += QStringLiteral("\nonly the first %1 KiB of the file were read").arg(MaxBytes / 1024);
    return message;
}

} // namespace RulesFile
