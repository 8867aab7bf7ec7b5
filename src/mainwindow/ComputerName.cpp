#include "mainwindow/ComputerName.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <QSysInfo>
#endif

QString GetLocalComputerName() {
#ifdef _WIN32
    char buffer[256] = {};
    DWORD size = 255;
    if (GetComputerNameA(buffer, &size) && buffer[0] != '\0')
        return QString::fromLocal8Bit(buffer);
#else
    const QString name = QSysInfo::machineHostName();
    if (!name.isEmpty())
        return name;
#endif
    return QStringLiteral("(Not Known)");
}
