#include "TestRegistry.h"
#include "grid/FlexGrid.h"
#include "net/UdpSocket.h"
#include "reception/DatagramReception.h"
#include "reception/DatagramText.h"
#include "reception/ReadingParser.h"

#include <QDateTime>
#include <QFile>
#include <QHostAddress>
#include <QLocale>
#include <QTest>

namespace {
SenderAddress senderOf(const QString &text) {
    const QHostAddress a(text);
    bool v4 = false;
    const quint32 ip = a.toIPv4Address(&v4);
    if (v4)
        return SenderAddress::v4(ip);
    const Q_IPV6ADDR raw = a.toIPv6Address();
    std::uint8_t bytes[16];
    std::copy(raw.c, raw.c + 16, bytes);
    return SenderAddress::v6(bytes);
}

QByteArray unescaped(const QString &text) {
    QByteArray out = text.toUtf8();
    out.replace("\\n", "\n").replace("\\0", QByteArray(1, '\0')).replace("\\\\", "\\");
    return out;
}

QString bsdStamp(const QDateTime &t, bool date) {
    if (!date)
        return t.toString(QStringLiteral("HH:mm:ss"));
    const QString month = QLocale::c().monthName(t.date().month(), QLocale::ShortFormat);
    return month + QStringLiteral(" %1").arg(t.date().day(), 2, 10, QLatin1Char(' '));
}
} // namespace

// The lines real syslog senders and relays write, as captured in data/syslog-senders.txt.
class SyslogShapesTest : public QObject {
    Q_OBJECT
private slots:
    void realSenders_data() {
        QTest::addColumn<QString>("sender");
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("sensor");
        QTest::addColumn<QString>("value");
        QFile file(QFINDTESTDATA("data/syslog-senders.txt"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        int rows = 0;
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine()).chopped(1);
            if (line.startsWith(QLatin1Char('#')) || line.isEmpty())
                continue;
            const QStringList f = line.split(QLatin1Char('\t'));
            QCOMPARE(f.size(), 8);
            QTest::newRow(qPrintable(f[0]))
                << f[1] << unescaped(f[2]) << f[3] << f[4] << f[5] << f[6] << f[7];
            ++rows;
        }
        QVERIFY(rows >= 10);
    }
    void realSenders() {
        QFETCH(QString, sender);
        QFETCH(QByteArray, datagram);
        QFETCH(QString, date);
        QFETCH(QString, time);
        QFETCH(QString, sensor);
        ReadingParser r;
        r.hostname = QStringLiteral("OLDHOST");
        r.sensorname = QStringLiteral(" Old");
        const SenderAddress from = senderOf(sender);
        r.sender = &from;
        r.udpdata = DatagramText::decode(datagram);
        const QDateTime before = QDateTime::currentDateTime();
        r.parseudp();
        const QDateTime after = QDateTime::currentDateTime();
        if (date == QLatin1String("*")) {
            QVERIFY(r.msgdate == bsdStamp(before, true) || r.msgdate == bsdStamp(after, true));
            QVERIFY(r.msgtime == bsdStamp(before, false) || r.msgtime == bsdStamp(after, false));
        } else {
            QCOMPARE(r.msgdate, date);
            QCOMPARE(r.msgtime, time);
        }
        QTEST(r.hostname, "host");
        const bool previous = sensor == QLatin1String("(previous)");
        QCOMPARE(r.sensorname, previous ? QStringLiteral(" Old") : sensor);
        QTEST(r.sensorvalue, "value");
        QCOMPARE(r.understood, !previous);
    }

    // Lines of the other layouts built to probe each field's edge.
    void edges_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("sensor");
        QTest::addColumn<QString>("value");
        QTest::newRow("5424, no host") << "<13>1 2026-01-31T23:59:60Z - sensor[t] - - - v=1"
                                       << "Jan 31"
                                       << "23:59:60"
                                       << "192.0.2.7"
                                       << " t"
                                       << " 1 ";
        QTest::newRow("5424, bracket in a quoted value, byte-order mark")
            << QStringLiteral("<13>1 2026-10-10T01:02:03.5-07:00 h a[b] 1 m [x y=\"a]\\\"b\"][z] \uFEFFv=2 C")
            << "Oct 10"
            << "01:02:03"
            << "h"
            << " b"
            << " 2 ";
        QTest::newRow("5424, tag without brackets keeps the name")
            << "<13>1 2026-10-10T01:02:03Z h app - - - v=3"
            << "Oct 10"
            << "01:02:03"
            << "h"
            << " Old"
            << " 3 ";
        QTest::newRow("ISO stamp, no host") << "<13>2026-02-03T04:05:06+01:00 s[x]: v=4"
                                            << "Feb  3"
                                            << "04:05:06"
                                            << "192.0.2.7"
                                            << " x"
                                            << " 4 ";
        QTest::newRow("no host, bare tag with colon") << "<13>Mar 13 10:11:12 app: v=5"
                                                      << "Mar 13"
                                                      << "10:11:12"
                                                      << "192.0.2.7"
                                                      << " Old"
                                                      << " 5 ";
        QTest::newRow("BSD, IPv6 host stays a host") << "<13>Mar 13 10:11:12 fd00::1 s[x]: v=6"
                                                     << "Mar 13"
                                                     << "10:11:12"
                                                     << "fd00::1"
                                                     << " x"
                                                     << " 6 ";
    }
    void edges() {
        QFETCH(QString, line);
        ReadingParser r;
        r.hostname = QStringLiteral("OLDHOST");
        r.sensorname = QStringLiteral(" Old");
        const SenderAddress from = SenderAddress::v4(0xC0000207);
        r.sender = &from;
        r.udpdata = line;
        r.parseudp();
        QTEST(r.msgdate, "date");
        QTEST(r.msgtime, "time");
        QTEST(r.hostname, "host");
        QTEST(r.sensorname, "sensor");
        QTEST(r.sensorvalue, "value");
    }

    // Without a known sender (a datagram handed over directly) a line without host keeps the previous
    // host, as a BSD line without a space after its time stamp does.
    void unknownSenderKeepsHost() {
        UdpSocket socket;
        FlexGrid grid;
        DatagramReception rx(socket, grid);
        rx.hostGrid.reset();
        rx.hostGrid.writeHeaderRow();
        rx.processDatagram("<13>Sep  9 20:04:58 office s[a]: v=1");
        rx.processDatagram("<13>Sep  9 20:04:59 s[b]: v=2");
        QCOMPARE(rx.reading.hostname, QStringLiteral("office"));
        rx.processDatagram("<13>Sep  9 20:05:00 office no tag here");
        const DatagramReception::Statistics s = rx.statistics();
        QCOMPARE(s.accepted, quint64(3));
        QCOMPARE(s.notUnderstood, quint64(1));
    }
};
ZARARE_TEST(SyslogShapesTest)
#include "SyslogShapesTest.moc"
