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

using namespace Qt::StringLiterals;

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

QString bsdDate(const QDateTime &t) {
    return QLocale::c().monthName(t.date().month(), QLocale::ShortFormat) +
           u" %1"_s.arg(t.date().day(), 2, 10, ' '_L1);
}
} // namespace

// The lines real syslog senders and relays write, as captured in data/syslog-senders.txt, then lines of
// the other layouts built to probe each field's edge. "(previous)" as sensor name: the line has no
// bracketed tag, keeps the name of the reading before it and is counted as not understood.
class SyslogShapesTest : public QObject {
    Q_OBJECT
private slots:
    void lines_data() {
        QTest::addColumn<QByteArray>("datagram");
        for (const char *column : {"sender", "date", "time", "host", "sensor", "value"})
            QTest::addColumn<QString>(column);
        QFile file(QFINDTESTDATA("data/syslog-senders.txt"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        int rows = 0;
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine()).chopped(1);
            if (line.startsWith('#'_L1) || line.isEmpty())
                continue;
            const QStringList f = line.split('\t'_L1);
            QCOMPARE(f.size(), 8);
            QTest::newRow(qPrintable(f[0]))
                << unescaped(f[2]) << f[1] << f[3] << f[4] << f[5] << f[6] << f[7];
            ++rows;
        }
        QVERIFY(rows >= 10);
        const char *const edges[][7] = {
            {"5424, no host", "<13>1 2026-01-31T23:59:60Z - sensor[t] - - - v=1", "Jan 31", "23:59:60",
             "192.0.2.7", " t", " 1 "},
            {"5424, bracket in a quoted value, byte-order mark",
             "<13>1 2026-10-10T01:02:03.5-07:00 h a[b] 1 m [x y=\"a]\\\"b\"][z] \uFEFFv=2 C", "Oct 10",
             "01:02:03", "h", " b", " 2 "},
            {"5424, tag without brackets", "<13>1 2026-10-10T01:02:03Z h app - - - v=3", "Oct 10", "01:02:03",
             "h", "(previous)", " 3 "},
            {"ISO stamp, no host", "<13>2026-02-03T04:05:06+01:00 s[x]: v=4", "Feb  3", "04:05:06",
             "192.0.2.7", " x", " 4 "},
            {"no host, bare tag with colon", "<13>Mar 13 10:11:12 app: v=5", "Mar 13", "10:11:12",
             "192.0.2.7", "(previous)", " 5 "},
            {"BSD, IPv6 host stays a host", "<13>Mar 13 10:11:12 fd00::1 s[x]: v=6", "Mar 13", "10:11:12",
             "fd00::1", " x", " 6 "},
        };
        for (const auto &e : edges)
            QTest::newRow(e[0]) << QByteArray(e[1]) << u"192.0.2.7"_s << QString::fromUtf8(e[2])
                                << QString::fromUtf8(e[3]) << QString::fromUtf8(e[4])
                                << QString::fromUtf8(e[5]) << QString::fromUtf8(e[6]);
    }
    void lines() {
        QFETCH(QByteArray, datagram);
        QFETCH(QString, sender);
        QFETCH(QString, date);
        QFETCH(QString, sensor);
        ReadingParser r;
        r.hostname = u"OLDHOST"_s;
        r.sensorname = u" Old"_s;
        const SenderAddress from = senderOf(sender);
        r.sender = &from;
        r.udpdata = DatagramText::decode(datagram);
        const QDateTime before = QDateTime::currentDateTime();
        r.parseudp();
        const QDateTime after = QDateTime::currentDateTime();
        if (date == "*"_L1) { // the receiving time
            QVERIFY(r.msgdate == bsdDate(before) || r.msgdate == bsdDate(after));
            QVERIFY(r.msgtime == before.toString(u"HH:mm:ss"_s) ||
                    r.msgtime == after.toString(u"HH:mm:ss"_s));
        } else {
            QCOMPARE(r.msgdate, date);
            QTEST(r.msgtime, "time");
        }
        QTEST(r.hostname, "host");
        const bool previous = sensor == "(previous)"_L1;
        QCOMPARE(r.sensorname, previous ? u" Old"_s : sensor);
        QTEST(r.sensorvalue, "value");
        QCOMPARE(r.understood, !previous);
    }

    // Without a known sender (a datagram handed over directly) a line without host keeps the previous
    // host, as a BSD line without a space after its time stamp does.
    void unknownSenderKeepsHost() {
        UdpSocket socket;
        FlexGrid grid;
        DatagramReception rx(socket, grid);
        rx.processDatagram("<13>Sep  9 20:04:58 office s[a]: v=1");
        rx.processDatagram("<13>Sep  9 20:04:59 s[b]: v=2");
        QCOMPARE(rx.reading.hostname, u"office"_s);
        rx.processDatagram("<13>Sep  9 20:05:00 office no tag here");
        QCOMPARE(rx.statistics().accepted, quint64(3));
        QCOMPARE(rx.statistics().notUnderstood, quint64(1));
    }
};
ZARARE_TEST(SyslogShapesTest)
#include "SyslogShapesTest.moc"
