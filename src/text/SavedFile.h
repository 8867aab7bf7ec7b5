#pragma once

#include <QByteArray>
#include <QString>

// Replaces a file's whole content in one step: the bytes go to a temporary file beside it, which then
// takes the file's place, so a crash or a full disk halfway leaves the old file as it was. On failure
// returns false with a reason that is never empty (Windows refuses to replace a file another program
// holds open, and says little about it).
namespace SavedFile {

bool replace(const QString &path, const QByteArray &bytes, QString *reason);

} // namespace SavedFile
