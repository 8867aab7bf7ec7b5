#pragma once

#include "registry/Registry.h"

#include <QString>
#include <QStringList>

#include <optional>

// The registry of systems that have none. It knows one value, the one that names the system-information
// program: HKEY_LOCAL_MACHINE, "SOFTWARE\Microsoft\Shared Tools\MSINFO", "PATH". Its data is the full
// path of the first program of toolNames() that is found as an executable file in a folder of the
// search path, as a String with its terminating zero byte in the local 8-bit encoding of file names;
// with none of them installed the value is missing. Every other key is missing.
class PathToolRegistry : public Registry {
public:
    // Searches the PATH of the environment at each query.
    PathToolRegistry();
    // Searches the folders of `searchPath`, separated as in PATH.
    explicit PathToolRegistry(const QString &searchPath);

    // The programs looked for, in order of preference: graphical viewers of hardware and system
    // information that Linux desktops ship.
    //   hardinfo2, hardinfo  system information and benchmark viewer (GTK)
    //   kinfocenter          the KDE desktop's information centre (Qt)
    //   cpu-x                processor, board, memory and system viewer (GTK)
    //   lshw-gtk             hardware lister's graphical front end (GTK)
    static const QStringList &toolNames();

    // The program that the value names, or an empty text when none is installed.
    QString findTool() const;

    long openKey(quint32 root, const QByteArray &path, quint32 access, Key &key) override;
    long queryValue(Key key, const QByteArray &name, quint32 &type, char *data, quint32 &size) override;
    long closeKey(Key key) override;

private:
    std::optional<QString> searchPath_;
};
