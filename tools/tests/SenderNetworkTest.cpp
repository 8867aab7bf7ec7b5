#include "Helpers.h"
#include "TestRegistry.h"

#include <QDir>
#include <QFileInfo>
#include <QHostInfo>
#include <QNetworkDatagram>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <tuple>

#include <unistd.h>

namespace {

// Runs zar-are-send. With `fakeSensors` it runs in a mount namespace of its own (inside a user namespace
// when not root) that sees fakeSensors/class as /sys/class and fakeSensors/sensors.conf as
// /etc/sensors3.conf, so that libsensors reads a made-up hwmon tree; exit code 77 when no such
// namespace can be had here. Gives the exit code (-1: it did not end by itself), its output and its errors.
std::tuple<int, QByteArray, QByteArray> runSender(const QStringList &arguments,
                                                  const QString &fakeSensors = {}) {
    QProcess process;
    const QString program = QStringLiteral(ZARARE_SEND_PATH);
    if (fakeSensors.isEmpty())
        process.start(program, arguments);
    else
        process.start(QStringLiteral("unshare"),
                      QStringList{"--mount", ::geteuid() == 0 ? "--propagation=private" : "--map-root-user",
                                  "sh", "-c",
                                  "mount --bind \"$0/class\" /sys/class && mount --bind \"$0/sensors.conf\" "
                                  "/etc/sensors3.conf || exit 77; exec \"$@\"",
                                  fakeSensors, program} +
                          arguments);
    const bool ended = process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit;
    const QByteArray err = process.readAllStandardError();
    const bool noNamespace = !fakeSensors.isEmpty() && err.startsWith("unshare:");
    return {noNamespace ? 77 : ended ? process.exitCode() : -1, process.readAllStandardOutput(), err};
}

// What reaches `socket` (bound) from a sender that has ended: at most `count` datagrams.
QList<QByteArray> receive(QUdpSocket &socket, int count) {
    QList<QByteArray> datagrams;
    while (datagrams.size() < count && (socket.hasPendingDatagrams() || socket.waitForReadyRead(300)))
        while (socket.hasPendingDatagrams())
            datagrams.append(socket.receiveDatagram().data());
    return datagrams;
}

} // namespace

class SenderNetworkTest : public QObject {
    Q_OBJECT

private slots:
    // One simulated round of 3 hosts of 4 sensors reaches every kind of destination, each datagram whole
    // and a cell of its own in the monitor, the time stamp in the monitor's form.
    void sendsASimulatedRound_data() {
        QTest::addColumn<QString>("to"); // the destination, then any pacing
        QTest::newRow("IPv4 address, paced") << "127.0.0.1 --rate 500";
        QTest::newRow("IPv6 address") << "::1";
        QTest::newRow("IPv6 address in brackets") << "[::1]";
        QTest::newRow("host name") << "localhost";
    }
    void sendsASimulatedRound() {
        QFETCH(QString, to);
        QUdpSocket receiver; // on the address the sender takes: the first the name resolves to
        const auto addresses = QHostInfo::fromName(to.section(' ', 0, 0).remove('[').remove(']')).addresses();
        if (addresses.isEmpty() || !receiver.bind(addresses.first(), 0))
            QSKIP("this machine cannot bind that address");
        const auto [code, out, err] =
            runSender(QStringList{"--simulate", "3", "--sensors", "4", "--once", "--port",
                                  QString::number(receiver.localPort()), "--to"} +
                      to.split(u' '));
        QVERIFY2(code == 0, err.constData());
        const QList<QByteArray> arrived = receive(receiver, 13);
        QCOMPARE(arrived.size(), 12);
        const QRegularExpression line(QStringLiteral(
            "^<13>(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 123]\\d [012]\\d:[0-5]\\d:[0-6]\\d "
            "sim-[123] sensor\\[(CPU Package\\]: Temp=\\d+\\.\\d C|CPU Fan\\]: Speed=\\d+ RPM|"
            "Vcore\\]: Voltage=\\d\\.\\d{3} V|Motherboard\\]: Temp=\\d+\\.\\d C)$"));
        QSet<QString> cells;
        for (const QByteArray &datagram : arrived) {
            QVERIFY2(line.match(QString::fromUtf8(datagram)).hasMatch(), datagram.constData());
            const ReadingParser r = parsedByMonitor(datagram);
            cells.insert(r.hostname + r.sensorname);
        }
        QCOMPARE(cells.size(), 12);
    }

    // The program reads a made-up /sys/class/hwmon through libsensors, with a configuration that
    // relabels, ignores and computes, and its datagrams fill the monitor's cells. With no chips it says
    // that there are no sensors and fails.
    void readsFakeSensors_data() {
        QTest::addColumn<QString>("cells"); // sensor and value cells, sorted
        QTest::newRow("three chips")
            << " CPU- Package (0)| 45.5 , Mainboard| 38.0 , fakedisk temp1| 41.8 , fakegpu temp1| 52.0 ,"
               " fan1| 1234 , in0| 2.368 , power1| 12.50 ";
        QTest::newRow("no chips") << "";
    }
    void readsFakeSensors() {
        QFETCH(QString, cells);
        const bool empty = cells.isEmpty();
        QTemporaryDir dir;
        // "path=content": chips without a device link, which libsensors takes for virtual ones, and a
        // configuration for the first.
        // clang-format off
        const QStringList files = QStringList{"class/hwmon/.keep="} + (empty ? QStringList{"sensors.conf="} : QStringList{
            "sensors.conf=chip \"fakeboard-*\"\n  label temp2 \"Mainboard\"\n  ignore in1\n  compute in0 @*2, @/2",
            "hwmon0/name=fakeboard", "hwmon0/temp1_input=45500", "hwmon0/temp1_label=CPU: Package [0]",
            "hwmon0/temp2_input=38000", "hwmon0/temp3_input=unreadable", "hwmon0/fan1_input=1234",
            "hwmon0/in0_input=1184", "hwmon0/in1_input=3300", "hwmon0/intrusion0_alarm=0",
            "hwmon1/name=fakedisk", "hwmon1/temp1_input=41800",
            "hwmon2/name=fakegpu", "hwmon2/temp1_input=52000", "hwmon2/power1_input=12500000"});
        // clang-format on
        for (const QString &f : files) {
            QFile file(dir.filePath((f.startsWith(u'h') ? "class/hwmon/" : "") + f.section(u'=', 0, 0)));
            QVERIFY(QDir().mkpath(QFileInfo(file).path()) && file.open(QIODevice::WriteOnly) &&
                    file.write(f.section(u'=', 1).toUtf8() + '\n') > 0);
        }
        QUdpSocket receiver;
        QVERIFY(receiver.bind(QHostAddress::LocalHost, 0));
        const auto [code, out, err] =
            runSender({"--once", "--port", QString::number(receiver.localPort())}, dir.path());
        if (code == 77)
            QSKIP("no private mount namespace here for made-up sensors");
        const bool saidNone = err.contains("no hardware sensors found") && err.contains("--simulate");
        QVERIFY2(code == (empty ? 1 : 0) && saidNone == empty, err.constData());
        QStringList got;
        for (const QByteArray &datagram : receive(receiver, 100)) {
            const ReadingParser r = parsedByMonitor(datagram);
            QCOMPARE(r.hostname, QHostInfo::localHostName().section(QLatin1Char('.'), 0, 0));
            got << r.sensorname + QLatin1Char('|') + r.sensorvalue;
        }
        got.sort();
        QCOMPARE(got.join(u','), cells);
    }

    // What the program says and how it ends, on bad command lines (with the usage) and on destinations it
    // cannot send to. $PORT is one the system just handed out and took back: nobody listens there.
    void commandLines_data() {
        QTest::addColumn<QString>("table"); // the arguments, by spaces; the exit code; what is said
        const QString once = QStringLiteral("--simulate 1 --sensors 3 --once ");
        // clang-format off
        QTest::newRow("help") << "--help;0;Usage: zar-are-send";
        QTest::newRow("port 0") << "--port 0;2;--port must be";
        QTest::newRow("negative interval") << "--interval -1;2;--interval must be";
        QTest::newRow("value missing") << "--to;2;--to needs a value";
        QTest::newRow("sensors without simulation") << "--sensors 5;2;--simulate only";
        QTest::newRow("too many in all") << "--simulate 100000 --sensors 11;2;in all";
        QTest::newRow("unknown option") << "--verbose;2;unknown option --verbose";
        QTest::newRow("stray argument") << "5514;2;unexpected argument";
        QTest::newRow("unknown host") << once + "--to no-such-host.invalid;1;zar-are-send: cannot resolve no-such-host.invalid: ";
        QTest::newRow("nobody listening") << once + "--port $PORT;1;cannot send to 127.0.0.1 port $PORT: Connection refused";
        // clang-format on
    }
    void commandLines() {
        QFETCH(QString, table);
        QUdpSocket probe;
        QVERIFY(probe.bind(QHostAddress::LocalHost, 0));
        const QStringList t =
            table.replace(QStringLiteral("$PORT"), QString::number(probe.localPort())).split(u';');
        probe.close();
        const auto [code, out, err] = runSender(t[0].split(u' '));
        QCOMPARE(code, t[1].toInt());
        const QByteArray text = code == 0 ? out : err;
        QVERIFY2(text.contains(t[2].toUtf8()) &&
                     text.contains("Usage: zar-are-send [--to HOST]") == (code != 1),
                 text.constData());
    }
};

ZARARE_TEST(SenderNetworkTest)
#include "SenderNetworkTest.moc"
