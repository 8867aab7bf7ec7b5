#include "registry/PathToolRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
// The one key this registry holds; any other value of Key is not an open key.
constexpr Registry::Key msinfoKey = 1;

bool sameName(const QByteArray &a, const char *b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}
} // namespace

PathToolRegistry::PathToolRegistry() = default;

PathToolRegistry::PathToolRegistry(const QString &searchPath) : searchPath_(searchPath) {}

const QStringList &PathToolRegistry::toolNames() {
    static const QStringList names{QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"),
                                   QStringLiteral("kinfocenter"), QStringLiteral("cpu-x"),
                                   QStringLiteral("lshw-gtk")};
    return names;
}

QString PathToolRegistry::findTool() const {
    const QString path = searchPath_ ? *searchPath_ : QString::fromLocal8Bit(qgetenv("PATH"));
    const QStringList folders = path.split(QDir::listSeparator(), Qt::SkipEmptyParts);
    if (folders.isEmpty())
        return {};
    for (const QString &name : toolNames()) {
        const QString found = QStandardPaths::findExecutable(name, folders);
        if (!found.isEmpty())
            return QFileInfo(found).absoluteFilePath();
    }
    return {};
}

long PathToolRegistry::openKey(quint32 root, const QByteArray &path, quint32, Key &key) {
    key = 0;
    if (root != LocalMachine || !sameName(path, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"))
        return FileNotFound;
    key = msinfoKey;
    return Success;
}

long PathToolRegistry::queryValue(Key key, const QByteArray &name, quint32 &type, char *data, quint32 &size) {
    if (key != msinfoKey || !sameName(name, "PATH"))
        return FileNotFound;
    const QString tool = findTool();
    if (tool.isEmpty())
        return FileNotFound;
    return deliver(String, QFile::encodeName(tool) + '\0', type, data, size);
}

long PathToolRegistry::closeKey(Key key) {
    return key == msinfoKey ? Success : InvalidHandle;
}
