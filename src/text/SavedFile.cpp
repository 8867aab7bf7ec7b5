#include "text/SavedFile.h"

#include <QSaveFile>

namespace SavedFile {

bool replace(const QString &path, const QByteArray &bytes, QString *reason) {
    QSaveFile file(path);
    const bool opened = file.open(QIODevice::WriteOnly);
    if (opened && file.write(bytes) == bytes.size() && file.commit())
        return true;
    if (reason) {
        *reason = file.errorString();
        if (reason->isEmpty() || *reason == QLatin1String("Unknown error"))
            *reason = opened
                          ? QStringLiteral("the file could not be replaced; another program may have it open")
                          : QStringLiteral("the file could not be created");
    }
    return false;
}

} // namespace SavedFile
