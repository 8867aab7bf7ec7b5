#include "TestRegistry.h"
#include "grid/FlexGrid.h"
#include "net/UdpSocket.h"
#include "reception/DatagramReception.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

// logger sends to a real rsyslogd (Debian's, unpacked by scripts/fetch-rsyslog and run with a
// configuration of its own), which forwards in each of its three formats to a monitor of its own; every
// monitor shows the sender's host, not the relay's, with both readings.
using namespace Qt::StringLiterals;

class RelayEndToEndTest : public QObject {
    Q_OBJECT

    static void unavailable(const QString &why) {
        if (qgetenv("CI") == "true")
            QFAIL(qPrintable(why));
        QSKIP(qPrintable(why));
    }

private slots:
    void relayKeepsTheOriginalHost() {
#ifdef Q_OS_WIN
        QSKIP("rsyslogd and logger are Linux programs");
#endif
        QProcess fetch;
        fetch.start(u"" ZARARE_SOURCE_DIR "/scripts/fetch-rsyslog"_s,
                    {u"" ZARARE_BINARY_DIR "/rsyslog-cache"_s});
        if (!fetch.waitForFinished(180000) || fetch.exitCode() != 0)
            unavailable(u"rsyslog could not be had: "_s +
                        QString::fromLocal8Bit(fetch.readAllStandardError()));
        const QString rsyslogd =
            QString::fromLocal8Bit(fetch.readAllStandardOutput()).trimmed().split('\n').last();

        struct Monitor {
            UdpSocket socket;
            FlexGrid grid;
            DatagramReception reception{socket, grid};
        };
        const char *formats[] = {"RSYSLOG_TraditionalForwardFormat", "RSYSLOG_ForwardFormat",
                                 "RSYSLOG_SyslogProtocol23Format"};
        Monitor monitors[3];
        QTemporaryDir dir;
        QUdpSocket probe; // a free port for the relay's input
        QVERIFY(probe.bind(QHostAddress::LocalHost, 0));
        const quint16 relayPort = probe.localPort();
        probe.close();
        QString conf =
            u"global(workDirectory=\"%1\" localHostname=\"zarare-relay\")\nmodule(load=\"imudp\")\n"
            "input(type=\"imudp\" address=\"127.0.0.1\" port=\"%2\")\n"_s.arg(dir.path())
                .arg(relayPort);
        for (int i = 0; i < 3; ++i) {
            monitors[i].reception.hostGrid.writeHeaderRow();
            QVERIFY(monitors[i].socket.bindPort(0));
            conf += uR"(action(type="omfwd" target="127.0.0.1" port="%1" protocol="udp" template="%2"))"_s
                        .arg(monitors[i].socket.localPort())
                        .arg(QLatin1String(formats[i])) +
                    u'\n';
        }
        QFile file(dir.filePath(u"rsyslog.conf"_s));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(conf.toUtf8()) == conf.toUtf8().size());
        file.close();

        const QString modules = QFileInfo(rsyslogd).absolutePath() + u"/../lib/x86_64-linux-gnu/rsyslog"_s;
        QProcess relay;
        relay.setProcessChannelMode(QProcess::MergedChannels);
        relay.start(rsyslogd,
                    {u"-n"_s, u"-f"_s, file.fileName(), u"-i"_s, dir.filePath(u"pid"_s), u"-M"_s, modules});
        QVERIFY2(relay.waitForStarted(), qPrintable(relay.errorString()));
        const auto stop = qScopeGuard([&] {
            relay.terminate(); // our own child, by its PID
            if (!relay.waitForFinished(5000))
                relay.kill();
        });
        // Until the relay's input is open: a probe datagram to it comes through to the first monitor.
        QUdpSocket sender;
        QTRY_VERIFY_WITH_TIMEOUT(
            (sender.writeDatagram("<13>Sep  9 20:04:58 probe p[x]: v=0", QHostAddress::LocalHost, relayPort),
             monitors[0].reception.statistics().accepted > 0),
            10000);

        for (const QStringList &args : {QStringList{"--rfc3164", "-t", "sensor[Fan1]", "Speed=1200 RPM"},
                                        QStringList{"--rfc5424", "-t", "sensor[Pump]", "Flow=3.5 l/min"}}) {
            QProcess logger;
            logger.start(u"logger"_s,
                         QStringList{"-n", "127.0.0.1", "-P", QString::number(relayPort)} + args);
            QVERIFY(logger.waitForFinished(10000) && logger.exitCode() == 0);
        }

        const QString host = QSysInfo::machineHostName().section(u'.', 0, 0);
        for (int i = 0; i < 3; ++i) {
            DatagramReception &rx = monitors[i].reception;
            const FlexGrid &grid = monitors[i].grid;
            // The protocol format turns a BSD tag "sensor[Fan1]" into application "sensor", process id
            // "Fan1": only the RFC 5424 reading keeps its name through it.
            const auto holds = [&](const QString &name, const QString &value) {
                const int r = rx.hostGrid.rowOf(host);
                for (int c = HostGrid::FirstNameCol; r > 0 && c <= HostGrid::LastNameCol; c += 2)
                    if (grid.textAt(r, c) == name && grid.textAt(r, c + 1) == value)
                        return true;
                return false;
            };
            QTRY_VERIFY2_WITH_TIMEOUT(holds(u" Pump"_s, u" 3.5 "_s), formats[i], 10000);
            QVERIFY2(i == 2 || holds(u" Fan1"_s, u" 1200 "_s), formats[i]);
            QVERIFY2(!rx.hostGrid.rowOf(u"zarare-relay"_s) && !rx.hostGrid.rowOf(u"127.0.0.1"_s), formats[i]);
        }
    }
};
ZARARE_TEST(RelayEndToEndTest)
#include "RelayEndToEndTest.moc"
