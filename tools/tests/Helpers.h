#pragma once

#include "reception/ReadingParser.h"

#include <QByteArray>

// What the monitor makes of one datagram.
inline ReadingParser parsedByMonitor(const QByteArray &datagram) {
    ReadingParser r;
    r.udpdata = QString::fromUtf8(datagram);
    r.parseudp();
    return r;
}
