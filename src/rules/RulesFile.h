#pragma once

#include "rules/Rules.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <vector>

// The rules file "Zar-Are.rules": UTF-8 text, one rule a line, '#' starts a comment.
//   stale 90s                     how long a cell may go unwritten (45, 90s, 2m, 1h; 0 turns it off)
//   CPU*  warn 70  crit 85        a glob on the sensor name, then any of warn, crit, low-warn, low-crit
// A line is read as a keyword first (one small function each in a table), else as a glob with bounds.
// Numbers take "." or "," as decimal separator. A line that cannot be read is named and skipped.
namespace RulesFile {

constexpr const char *FileName = "Zar-Are.rules";
// Only this much of a file is read: real rules are a few hundred bytes, and a huge or binary file must
// not hold up start-up.
constexpr qint64 MaxBytes = 1024 * 1024;

struct LineError {
    int line = 0; // 1-based
    QString what;
};

struct Parsed {
    RuleSet rules;
    std::vector<LineError> errors;
    bool truncated = false; // the file was longer than MaxBytes; the rest was not read
};

// Keywords read by others (the allow list, the sensor view's choices): `handles` says whether a line's
// first word is one, `apply` reads the rest of the line (comment removed) and returns false with the
// reason when it cannot.
struct Extension {
    std::function<bool(QStringView keyword)> handles;
    std::function<bool(QStringView keyword, QStringView arguments, QString *error)> apply;
};
using Extensions = std::vector<Extension>;

// A '#' starts a comment, except inside double quotes.
Parsed parse(QStringView text, const Extensions &extensions = {});

// The file's text as far as it is read (MaxBytes); a missing file gives an empty text and no error, a
// file that cannot be opened the reason in `failure`.
QString readText(const QString &path, bool *truncated = nullptr, QString *failure = nullptr);
// readText and parse in one.
Parsed read(const QString &path, QString *failure = nullptr, const Extensions &extensions = {});

// `text` with every line whose keyword `owned` claims left out and `lines` added at the end: how a
// program-kept choice is written back without touching the user's own lines and comments.
QString replaceLines(QStringView text, const std::function<bool(QStringView keyword)> &owned,
                     const QStringList &lines);

// Replaces the file in one step (QSaveFile). On failure returns false and the reason.
bool write(const QString &path, const QString &text, QString *reason);

// One sentence for the user naming the file and every line that was skipped (the first few of them).
QString errorMessage(const QString &path, const Parsed &parsed);

} // namespace RulesFile
