#pragma once

#include <QRegularExpression>
#include <QString>
#include <QStringView>

// A host or sensor name pattern, matched case-insensitively. A glob (`*` any text, `?` one character,
// `[...]` one of a set, `[!...]` none of a set) must match the whole name; in the filter box a text
// without any of these matches every name that contains it.
class NameFilter {
public:
    NameFilter() = default;
    // The filter box's text: a glob when it has a wildcard, else a substring; spaces around it are ignored.
    static NameFilter search(const QString &text);
    // A whole-name glob, as remembered patterns are.
    static NameFilter glob(const QString &pattern);
    // A glob that matches exactly `name` (its wildcard characters taken literally).
    static QString escape(const QString &name);

    bool isEmpty() const { return text_.isEmpty(); }
    bool matches(QStringView name) const;

private:
    QString text_;
    QRegularExpression regex_; // valid when the pattern is a glob
    bool glob_ = false;
};
