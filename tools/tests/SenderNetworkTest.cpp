#include "Helpers.h"
#include "TestRegistry.h"
#include "UdpSender.h"

#include <QHostInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QUdpSocket>

#include <cstring>

using namespace sender;

namespace {

struct Finished {
    int exitCode = -1;
    QByteArray out, err;
};

Finished runSender(const QStringList &arguments) {
    QProcess process;
    process.start(QStringLiteral(ZARARE_SEND_PATH), arguments);
    Finished result;
    if (process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

} // namespace

class SenderNetworkTest : public QObject {
    Q_OBJECT

private slots:
    void sendsToLoopback_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("bindTo");
        // clang-format off
        QTest::newRow("IPv4 address") << "127.0.0.1" << "127.0.0.1";
        QTest::newRow("IPv6 address") << "::1" << "::1";
        QTest::newRow("IPv6 address in brackets") << "[::1]" << "::1";
        QTest::newRow("host name") << "localhost" << "localhost";
        // clang-format on
    }
    void sendsToLoopback() {
        QFETCH(QString, host);
        QFETCH(QString, bindTo);
        QUdpSocket receiver;
        const QList<QHostAddress> addresses =
            QHostInfo::fromName(bindTo).addresses(); // the sender takes the first
        if (addresses.isEmpty() || !receiver.bind(addresses.first(), 0))
            QSKIP("this machine cannot bind that address");
        UdpSender udp;
        std::string error;
        QVERIFY2(udp.open(host.toStdString(), receiver.localPort(), error), error.c_str());
        const std::string lines[] = {"<13>Sep  9 20:04:58 h1 sensor[A]: Temp=1.0 C",
                                     "<13>Sep  9 20:04:58 h2 sensor[B]: Speed=900 RPM"};
        for (std::size_t k = 0; k < 2;) { // a send may take fewer than it was given
            const auto result = udp.send(lines + k, 2 - k);
            QVERIFY2(result.sent > 0, std::strerror(result.error));
            k += result.sent;
        }
        QCOMPARE(receive(receiver, 2, 2000), (QList<QByteArray>{QByteArray::fromStdString(lines[0]),
                                                                QByteArray::fromStdString(lines[1])}));
        QCOMPARE(udp.pendingError(0), 0);
    }

    void programSendsASimulatedRound() {
        QUdpSocket receiver;
        QVERIFY(receiver.bind(QHostAddress::LocalHost, 0));
        const Finished run =
            runSender({"--simulate", "3", "--sensors", "4", "--once", "--rate", "500", "--to", "127.0.0.1",
                       "--port", QString::number(receiver.localPort())});
        QVERIFY2(run.exitCode == 0, run.err.constData());
        const QList<QByteArray> arrived = receive(receiver, 13, 1000);
        QCOMPARE(arrived.size(), 12);
        const QRegularExpression stamp(QStringLiteral(
            "^(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 123]\\d [012]\\d:[0-5]\\d:[0-6]\\d$"));
        QSet<QString> cells;
        for (const QByteArray &datagram : arrived) {
            const ReadingParser r = parsedByMonitor(datagram);
            QVERIFY2(stamp.match(r.msgdate + QLatin1Char(' ') + r.msgtime).hasMatch(), datagram.constData());
            QVERIFY2(QRegularExpression(QStringLiteral("^sim-[123]$")).match(r.hostname).hasMatch(),
                     datagram.constData());
            cells.insert(r.hostname + r.sensorname);
        }
        QCOMPARE(cells.size(), 12);
    }

    // What the program says and how it ends, on bad command lines (with the usage) and on destinations it
    // cannot send to. $PORT is one the system just handed out and took back: nobody listens there.
    void commandLines_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said");
        const QStringList once{"--simulate", "1", "--sensors", "3", "--once"};
        // clang-format off
        QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: zar-are-send";
        QTest::newRow("port 0") << QStringList{"--port", "0"} << 2 << "--port must be";
        QTest::newRow("negative interval") << QStringList{"--interval", "-1"} << 2 << "--interval must be";
        QTest::newRow("value missing") << QStringList{"--to"} << 2 << "--to needs a value";
        QTest::newRow("sensors without simulation") << QStringList{"--sensors", "5"} << 2 << "--simulate only";
        QTest::newRow("too many in all") << QStringList{"--simulate", "100000", "--sensors", "11"} << 2 << "in all";
        QTest::newRow("unknown option") << QStringList{"--verbose"} << 2 << "unknown option --verbose";
        QTest::newRow("stray argument") << QStringList{"5514"} << 2 << "unexpected argument";
        QTest::newRow("unknown host") << once + QStringList{"--to", "no-such-host.invalid"} << 1 << "zar-are-send: cannot resolve no-such-host.invalid: ";
        QTest::newRow("nobody listening") << once + QStringList{"--port", "$PORT"} << 1 << "cannot send to 127.0.0.1 port $PORT: Connection refused";
        // clang-format on
    }
    void commandLines() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        QUdpSocket probe;
        QVERIFY(probe.bind(QHostAddress::LocalHost, 0));
        const QString port = QString::number(probe.localPort());
        probe.close();
        arguments.replaceInStrings(QStringLiteral("$PORT"), port);
        const Finished run = runSender(arguments);
        QCOMPARE(run.exitCode, exitCode);
        const QByteArray text = exitCode == 0 ? run.out : run.err;
        QVERIFY2(text.contains(said.replace(QStringLiteral("$PORT"), port).toUtf8()) &&
                     text.contains("Usage: zar-are-send [--to HOST]") == (exitCode != 1),
                 text.constData());
    }
};

ZARARE_TEST(SenderNetworkTest)
#include "SenderNetworkTest.moc"
