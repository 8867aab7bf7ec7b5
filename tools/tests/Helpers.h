#pragma once

#include "reception/ReadingParser.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <functional>

// What the monitor makes of one datagram.
ReadingParser parsedByMonitor(const QByteArray &datagram);

// Up to `count` datagrams that reach `socket` (a bound QUdpSocket), waiting at most `milliseconds` for
// each.
class QUdpSocket;
QList<QByteArray> receive(QUdpSocket &socket, int count, int milliseconds);

// Writes `files` (path below `root` -> content), making folders as needed.
bool writeTree(const QString &root, const QMap<QString, QByteArray> &files);

struct ChildOutcome {
    bool available = false; // false: no private mount namespace can be had here
    int exitCode = -1;
    QByteArray output; // the child's standard output and error
};
// Runs `body` in a child process that sees `classDir` as /sys/class and `config` as
// /etc/sensors3.conf, in a mount namespace of its own (inside a user namespace when not root), so that
// libsensors reads a made-up hwmon tree. The child's exit code is what `body` returns.
ChildOutcome runWithFakeSensors(const QString &classDir, const QString &config,
                                const std::function<int()> &body);
