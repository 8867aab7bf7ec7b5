#pragma once

#include "mainwindow/MainForm.h"
#include "settings/SettingsFile.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTest>
#include <QUdpSocket>

// Set-up shared by the main window's tests: free ports, datagrams over loopback, the settings file, and
// the warnings the window shows.
namespace WindowTesting {
inline quint16 freePort() {
    QUdpSocket probe;
    probe.bind(QHostAddress::AnyIPv4, 0);
    return probe.localPort();
}
inline void send(quint16 port, const QByteArray &datagram) {
    QUdpSocket().writeDatagram(datagram, QHostAddress::LocalHost, port);
}
inline QByteArray record(quint16 port, const QByteArray &geometry = "2985,7815,1200,900") {
    return QByteArray::number(port) + ',' + geometry;
}
inline void writeSettings(const QByteArray &bytes) {
    QFile f(SettingsFile::path());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
inline QByteArray fileBytes(const QString &path = SettingsFile::path()) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
// The window loaded as at start-up, its socket closed again; shown if asked.
inline void load(MainForm &form, bool show = false) {
    form.Form_Load();
    form.DudUDP.Close();
    if (show)
        form.show();
}
// Every warning shown, one "title: text" line each, and closes them all.
inline QString takeMessages() {
    QString shown;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<QMessageBox *>(w)) {
            if (box->isVisible())
                shown += box->windowTitle() + QStringLiteral(": ") + box->text() + QLatin1Char('\n');
            box->close();
        }
    return shown;
}
// The warnings shown hold every text told, and there are none when nothing was to be told.
inline void checkMessages(const QStringList &told) {
    const QString shown = takeMessages();
    QVERIFY2(shown.isEmpty() == told.isEmpty(), qPrintable(shown));
    for (const QString &text : told)
        QVERIFY2(shown.contains(text), qPrintable(shown));
}
} // namespace WindowTesting
