#include "sensorview/NameFilter.h"

namespace {
bool hasWildcard(const QString &text) {
    return text.contains(QLatin1Char('*')) || text.contains(QLatin1Char('?')) ||
           text.contains(QLatin1Char('['));
}

// Our own translation, so that `*` matches every character (a slash too) and an unclosed `[` is literal.
QString globToRegex(const QString &glob) {
    QString rx;
    for (qsizetype i = 0; i < glob.size(); ++i) {
        const QChar c = glob[i];
        if (c == QLatin1Char('*')) {
            rx += QLatin1String(".*");
        } else if (c == QLatin1Char('?')) {
            rx += QLatin1Char('.');
        } else if (c == QLatin1Char('[')) {
            qsizetype end = i + 1;
            if (end < glob.size() && glob[end] == QLatin1Char('!'))
                ++end;
            if (end < glob.size() && glob[end] == QLatin1Char(']'))
                ++end; // a leading ] belongs to the set
            while (end < glob.size() && glob[end] != QLatin1Char(']'))
                ++end;
            if (end >= glob.size()) {
                rx += QLatin1String("\\[");
                continue;
            }
            QString set = glob.mid(i + 1, end - i - 1);
            const bool negate = set.startsWith(QLatin1Char('!'));
            if (negate)
                set.remove(0, 1);
            set.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
            set.replace(QLatin1Char('['), QLatin1String("\\["));
            set.replace(QLatin1Char(']'), QLatin1String("\\]"));
            set.replace(QLatin1Char('^'), QLatin1String("\\^"));
            rx += (negate ? QLatin1String("[^") : QLatin1String("[")) + set + QLatin1Char(']');
            i = end;
        } else {
            rx += QRegularExpression::escape(QString(c));
        }
    }
    return QLatin1String("\\A(?:") + rx + QLatin1String(")\\z");
}
} // namespace

NameFilter NameFilter::search(const QString &text) {
    const QString trimmed = text.trimmed();
    if (hasWildcard(trimmed))
        return glob(trimmed);
    NameFilter f;
    f.text_ = trimmed;
    return f;
}

NameFilter NameFilter::glob(const QString &pattern) {
    NameFilter f;
    f.text_ = pattern;
    f.glob_ = true;
    f.regex_.setPattern(globToRegex(pattern));
    f.regex_.setPatternOptions(QRegularExpression::CaseInsensitiveOption |
                               QRegularExpression::DotMatchesEverythingOption);
    return f;
}

QString NameFilter::escape(const QString &name) {
    QString out;
    for (const QChar c : name) {
        if (c == QLatin1Char('*') || c == QLatin1Char('?') || c == QLatin1Char('['))
            out += QLatin1Char('[') + c + QLatin1Char(']');
        else
            out += c;
    }
    return out;
}

bool NameFilter::matches(QStringView name) const {
    if (text_.isEmpty())
        return true;
    if (glob_)
        return regex_.match(name).hasMatch();
    return name.contains(text_, Qt::CaseInsensitive);
}
