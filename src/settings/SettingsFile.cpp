#include "settings/SettingsFile.h"

#include "text/NumberText.h"
#include "text/SavedFile.h"
#include "text/SequentialReader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
QString &testFolder() {
    static QString folder;
    return folder;
}
} // namespace

namespace SettingsFile {

QString configFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
}

QString resolveFolder(const QString &programFolder, const QStringList &installedFolders,
                      const QString &userFolder) {
    bool installed = false;
    for (const QString &folder : installedFolders)
        installed = installed || (!folder.isEmpty() && QDir(programFolder) == QDir(folder));
    return QFileInfo(programFolder).isWritable() && !installed ? programFolder : userFolder;
}

QString path() {
    // Decided once, so that every reader and the writer agree on the file. The folders a build installs
    // to are its own prefix's and the Debian package's.
    static const QString resolved = resolveFolder(
        QCoreApplication::applicationDirPath(),
        {QStringLiteral(ZARARE_INSTALLED_BINDIR), QStringLiteral(ZARARE_PACKAGED_BINDIR)}, configFolder());
    const QString folder = testFolder().isEmpty() ? resolved : testFolder();
    QString p = QDir::toNativeSeparators(folder);
    if (!p.endsWith(QDir::separator()))
        p += QDir::separator();
    return p + QLatin1String(FileName);
}

void setFolderForTesting(const QString &folder) {
    testFolder() = folder;
}

bool FileExists(const QString &path) {
    const QFileInfo info(path);
    return info.exists() && info.isFile() && !info.isHidden();
}

ReadResult read(const QString &path) {
    ReadResult result;
    if (!FileExists(path))
        return result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.status = Status::Unreadable;
        result.reason = file.errorString();
        return result;
    }
    const QByteArray bytes = file.read(MaxBytes);
    if (bytes.isEmpty()) {
        if (file.error() != QFileDevice::NoError) {
            result.status = Status::Unreadable;
            result.reason = file.errorString();
        } else {
            result.status = Status::Empty;
        }
        return result;
    }
    const auto fields = SequentialReader::read(QString::fromLocal8Bit(bytes), 5);
    if (!fields.complete) {
        result.status = Status::Damaged;
        return result;
    }
    result.record = {fields.fields[0], fields.fields[1], fields.fields[2], fields.fields[3],
                     fields.fields[4]};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        result.geometry[i] = NumberText::toSingle(fields.fields[i + 1], &ok);
        if (!ok) {
            result.status = Status::Damaged;
            return result;
        }
    }
    result.status = Status::Complete;
    return result;
}

QByteArray format(const SettingsRecord &r) {
    const QString line = r.port + QLatin1Char(',') + r.height + QLatin1Char(',') + r.width +
                         QLatin1Char(',') + r.top + QLatin1Char(',') + r.left + QLatin1String("\r\n");
    return line.toLocal8Bit();
}

bool write(const QString &path, const SettingsRecord &record, QString *reason) {
    // The user's configuration folder may not exist yet; the program's folder always does.
    const QString folder = QFileInfo(path).absolutePath();
    if (QDir(folder) == QDir(configFolder()))
        QDir().mkpath(folder);
    return SavedFile::replace(path, format(record), reason);
}

QString damagedMessage(const QString &path, const ReadResult &result) {
    if (result.status == Status::Unreadable)
        return QStringLiteral("The settings file %1 could not be read (%2). The default settings are used.")
            .arg(path, result.reason);
    return QStringLiteral("The settings file %1 is damaged. The default settings are used; the file is "
                          "replaced when you next press Save in Tools, Options.")
        .arg(path);
}

} // namespace SettingsFile
