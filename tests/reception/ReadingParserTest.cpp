#include "reception/ReadingParser.h"
#include "TestRegistry.h"
#include "grid/FlexGrid.h"
#include "net/UdpSocket.h"
#include "reception/DatagramReception.h"
#include "reception/DatagramText.h"

#include <QDateTime>
#include <QFile>
#include <QHostAddress>
#include <QLocale>
#include <QTest>

#include <numeric>

using namespace Qt::StringLiterals;

namespace {
QString bsdStamp(const QDateTime &t) { // as date|time
    return QLocale::c().monthName(t.date().month(), QLocale::ShortFormat) +
           u" %1|"_s.arg(t.date().day(), 2, 10, ' '_L1) + t.toString(u"HH:mm:ss"_s);
}
} // namespace

// Lines of every layout and hostile bytes, cut into their fields, counted and stored in the grid: first the
// lines real syslog senders and relays write, as captured in data/syslog-senders.txt, then lines built to
// probe each field's edge. Each comes after a reading of host "OLDHOST", sensor " Old"; "(previous)" as
// sensor name: the line has no bracketed tag, keeps that name and is counted as not understood, as is a
// line without a value.
class ReadingParserTest : public QObject {
    Q_OBJECT

private slots:
    void fields_data() {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QStringList>("expected"); // sender, date, time, host, sensor, value, rest
        // The sender: empty for none, as for a datagram handed over directly (a line without a host then
        // keeps the previous one). The rest: "*" is not checked.
        const auto add = [](const char *name, const QByteArray &datagram, const QString &sender,
                            const QStringList &f, const QString &rest) {
            QTest::newRow(name) << datagram << QStringList{sender} + f + QStringList{rest};
        };
        QFile file(QFINDTESTDATA("data/syslog-senders.txt"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        for (const QString &line : QString::fromUtf8(file.readAll()).split('\n'_L1)) {
            if (line.startsWith('#'_L1) || line.isEmpty())
                continue;
            const QStringList f = line.split('\t'_L1);
            QCOMPARE(f.size(), 8);
            // The bytes with \n, \0 and \\ escaped.
            add(qPrintable(f[0]),
                f[2].toUtf8().replace("\\n", "\n").replace("\\0", QByteArray(1, '\0')).replace("\\\\", "\\"),
                f[1], f.mid(3), u"*"_s);
        }
        // Lines of the stamp "<13>Sep  9 20:04:58 " and what follows it, then those of other stamps.
        const char *const stamped[][6] = {
            {"padded host", "OFFICE  sensor[X]: v=1 u", "OFFICE", " X", " 1 ", "v=1 u"},
            {"spaces inside brackets", "H s[ CPU Temp ]: T=1 C", "H", " CPU Temp", " 1 ", "T=1 C"},
            {"empty tag", "H s[]: T=1 C", "H", " ", " 1 ", "T=1 C"},
            {"space after equals", "H s[A]: Temp= 45.0", "H", " A", "  ", "Temp= 45.0"},
            {"no equals sign", "H s[A]: 45.0 C", "H", " A", " 45.0 ", "45.0 C"},
            {"no equals, no space", "H s[A]: 45.0", "H", " A", " 45.0 ", "45.0"},
            {"several equals", "H s[A]: a=b=c d", "H", " A", " b=c ", "a=b=c d"},
            {"several colons", "H s[A]: x:y=1 u", "H", " A", " 1 ", "x:y=1 u"},
            {"no colon keeps the remainder", "H s[A] T=2 C", "H", " A", " 2 ", "s[A] T=2 C"},
            // No brackets: the previous sensor name stays.
            {"tag without brackets", "H sensor: T=3 C", "H", "(previous)", " 3 ", "T=3 C"},
            // "]" before "[": the first "]" after the "[" closes the name.
            {"reversed brackets", "H a]b[CPU]: T=4 C", "H", " CPU", " 4 ", "T=4 C"},
            {"reversed, never closed", "H a]b[CPU: T=5 C", "H", "(previous)", " 5 ", "T=5 C"},
            {"no host space", "lonehost", "OLDHOST", "(previous)", " lonehost ", "lonehost"},
            {"tab is not trimmed", "H s[\tA]: v=1", "H", " \tA", " 1 ", "v=1"},
            {"unicode", "büro s[Temp °C]: T=45,0 °C", "büro", " Temp °C", " 45,0 ", "T=45,0 °C"},
            {"no host name", "sensor[Fan]:", "OLDHOST", " Fan", "  ", "*"},
        };
        for (const auto &row : stamped)
            add(row[0], QByteArray("<13>Sep  9 20:04:58 ") + row[1], QString(),
                QStringList{"Sep  9", "20:04:58"} + QStringList(row + 2, row + 5), QString::fromUtf8(row[5]));
        // Lines of other stamps; a sender "-": none. The rest: "*" is not checked.
        const char *const rows[][9] = {
            {"5424, no host", "192.0.2.7", "<13>1 2026-01-31T23:59:60Z - sensor[t] - - - v=1", "Jan 31",
             "23:59:60", "192.0.2.7", " t", " 1 ", "*"},
            {"5424, bracket in a quoted value, byte-order mark", "192.0.2.7",
             "<13>1 2026-10-10T01:02:03.5-07:00 h a[b] 1 m [x y=\"a]\\\"b\"][z] \uFEFFv=2 C", "Oct 10",
             "01:02:03", "h", " b", " 2 ", "*"},
            {"ISO stamp, no host", "192.0.2.7", "<13>2026-02-03T04:05:06+01:00 s[x]: v=4", "Feb  3",
             "04:05:06", "192.0.2.7", " x", " 4 ", "*"},
            {"no host, bare tag with colon", "192.0.2.7", "<13>Mar 13 10:11:12 app: v=5", "Mar 13",
             "10:11:12", "192.0.2.7", "(previous)", " 5 ", "*"},
            {"BSD, IPv6 host stays a host", "192.0.2.7", "<13>Mar 13 10:11:12 fd00::1 s[x]: v=6", "Mar 13",
             "10:11:12", "fd00::1", " x", " 6 ", "*"},
            {"no priority", "-", "Sep  9 20:04:58 OFFICE sensor[Fan]: Speed=1200 RPM", "Sep  9", "20:04:58",
             "OFFICE", " Fan", " 1200 ", "Speed=1200 RPM"},
            // 16 characters or fewer: nothing after the time stamp, host and sensor stay.
            {"time stamp only", "-", "<13>Sep  9 20:04:58", "Sep  9", "20:04:58", "OLDHOST", "(previous)",
             "  ", ""},
            {"empty", "-", "", "", "", "OLDHOST", "(previous)", "  ", ""},
            // The first ">" anywhere is taken as the end of the priority.
            {"late >", "-", "Sep  9 20:04:58 H s[A]: v=a>b", "b", "", "OLDHOST", "(previous)", "  ", ""},
            {"RFC 5424", "-", "<13>1 2026-12-06T19:32:12.123Z host app 1 - - msg", "Dec  6", "19:32:12",
             "host", "(previous)", " msg ", "msg"},
        };
        for (const auto &row : rows)
            add(row[0], row[2], row[1] == "-"_L1 ? QString() : QString::fromUtf8(row[1]),
                QStringList(row + 3, row + 8), QString::fromUtf8(row[8]));
        // Every remainder is capped at 255 characters: after the priority, the 26 before the value and 229
        // of it.
        const QString v229(229, 'v'_L1);
        add("value capped", "<13>Sep  9 20:04:58 H s[A]: T=" + QByteArray(400, 'v'), QString(),
            {"Sep  9", "20:04:58", "H", " A", " " + v229 + " "}, "T=" + v229);
        // A ">" beyond position 32,767 of a maximum-size datagram.
        add("far priority mark", QByteArray(40000, 'a') + ">Sep  9 20:04:58 H s[A]: T=1", QString(),
            {"Sep  9", "20:04:58", "H", " A", " 1 "}, u"T=1"_s);
        // A host whose space lies beyond the cap is none: the last one stays, and the 255 characters after
        // the time stamp, holding no "=", are all value.
        add("host space beyond the cap", "Sep  9 20:04:58 " + QByteArray(300, 'h') + " s[A]: T=1", QString(),
            {"Sep  9", "20:04:58", "OLDHOST", "(previous)", " " + QString(255, 'h'_L1) + " "},
            QString(255, 'h'_L1));
        add("NUL inside", QByteArray("<13>Sep  9 20:04:58 H s[A\0B]: T=3", 33), QString(),
            {"Sep  9", "20:04:58", "H", u" A"_s + QChar(0) + u"B"_s, " 3 "}, u"*"_s);
        // The first ">" is byte 62; no space follows it, so the host stays, and "\\" lies between "[" and
        // "]".
        QByteArray all(256, '\0');
        std::iota(all.begin(), all.end(), '\0');
        add("every byte value", all, QString(),
            {"?", "", "OLDHOST", " \\", ' ' + QString::fromLatin1(all.mid(79)) + ' '}, u"*"_s);
    }
    void fields() {
        QFETCH(QByteArray, datagram);
        QFETCH(QStringList, expected); // sender, date, time, host, sensor, value, rest
        const QString &date = expected[1], &sensor = expected[4], &value = expected[5], &rest = expected[6];
        UdpSocket socket;
        FlexGrid grid;
        DatagramReception rx(socket, grid);
        rx.processDatagram("<13>Sep  9 20:04:58 OLDHOST sensor[Old]: T=0");
        const QHostAddress a(expected[0]);
        const SenderAddress from = a.protocol() == QAbstractSocket::IPv4Protocol
                                       ? SenderAddress::v4(a.toIPv4Address())
                                       : SenderAddress::v6(a.toIPv6Address().c);
        const QString before = bsdStamp(QDateTime::currentDateTime());
        rx.processDatagram(datagram, expected[0].isEmpty() ? nullptr : &from);
        const ReadingParser &r = rx.reading;
        const QString stamp = r.msgdate + u'|' + r.msgtime;
        if (date == "*"_L1) // the receiving time
            QVERIFY(stamp == before || stamp == bsdStamp(QDateTime::currentDateTime()));
        else if (date != "?"_L1) // "?": not checked
            QCOMPARE(stamp, date + u'|' + expected[2]);
        const bool previous = sensor == "(previous)"_L1;
        QCOMPARE((QStringList{r.hostname, r.sensorname, r.sensorvalue}),
                 (QStringList{expected[3], previous ? u" Old"_s : sensor, value}));
        QCOMPARE(rx.statistics().notUnderstood, quint64(previous || value == "  "_L1 ? 1 : 0));
        QCOMPARE(rx.statistics().accepted, quint64(2));
        if (rest != "*"_L1)
            QCOMPARE(r.udpdata, rest);
        // Stored in the row of its host, the slot of its sensor.
        const int row = rx.hostGrid.hostrow(), col = rx.hostGrid.sensorcol();
        QCOMPARE((QStringList{grid.textAt(row, 0), grid.textAt(row, 1), grid.textAt(row, 2),
                              grid.textAt(row, col), grid.textAt(row, col + 1)}),
                 (QStringList{r.hostname, r.msgdate, r.msgtime, r.sensorname, r.sensorvalue}));
    }

    // Readings one after another through one parser, as they come from the socket: a reading that begins
    // as the one before (the same host in the same second) gives the fields a reading alone gives, also
    // after a field was given another text from outside ("=host" replaces the host field, "=date" the
    // date; "=host3", "=date0" and "=time" change them in place or in a buffer just freed) and after
    // readings of other layouts in between. Each expected line: date|time|host|sensor|value. The sensor
    // name and value each step left are held on, as grid cells hold them: the parser writes its next ones
    // into buffers of their own, where nothing else holds them in place. (The date, time and host the
    // parser holds itself; a hold here would hide a write in place from "=date0".)
    void readingsInTurn_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("expected");
        const QString a = u"<13>Sep  9 20:04:58 OFFICE sensor[A]: T=1"_s,
                      b = u"<13>Sep  9 20:04:58 OFFICE sensor[B]: T=2"_s;
        const QString first = u"Sep  9|20:04:58|OFFICE| A| 1 "_s, second = u"Sep  9|20:04:58|OFFICE| B| 2 "_s;
        // Between two readings of one head: a step, and the fields it leaves.
        const auto between = [&](const char *name, const QString &step, const QString &fields) {
            QTest::newRow(name) << QStringList{a, step, b} << QStringList{first, fields, second};
        };
        QTest::newRow("the same head twice") << QStringList{a, b} << QStringList{first, second};
        between("the host field replaced between", u"=host"_s, u"Sep  9|20:04:58|other| A| 1 "_s);
        between("the date field replaced between", u"=date"_s, u"Dec 24|20:04:58|OFFICE| A| 1 "_s);
        // Written in place, or given a text whose buffer is where the last one's was, a field is still
        // another text.
        between("the host field cut short in place", u"=host3"_s, u"Sep  9|20:04:58|OFF| A| 1 "_s);
        between("a character of the date changed in place", u"=date0"_s, u"Xep  9|20:04:58|OFFICE| A| 1 "_s);
        between("the time cleared and written again", u"=time"_s, u"Sep  9|23:59:59|OFFICE| A| 1 "_s);
        between("another host between", u"<13>Sep  9 20:04:58 LAB s[C]: T=3"_s,
                u"Sep  9|20:04:58|LAB| C| 3 "_s);
        between("a reading without a host between", u"<13>Sep  9 20:04:59 s[C]: T=3"_s,
                u"Sep  9|20:04:59|OFFICE| C| 3 "_s);
        between("an RFC 5424 reading between", u"<13>1 2026-12-24T10:00:00Z LAB s[C] - - - T=3"_s,
                u"Dec 24|10:00:00|LAB| C| 3 "_s);
        QTest::newRow("the next second") << QStringList{a, u"<13>Sep  9 20:04:59 OFFICE sensor[B]: T=2"_s}
                                         << QStringList{first, u"Sep  9|20:04:59|OFFICE| B| 2 "_s};
    }
    void readingsInTurn() {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, expected);
        ReadingParser r;
        QStringList got;
        QList<QStringList> held;
        for (const QString &step : steps) {
            if (step == "=host"_L1) {
                r.hostname = u"other"_s;
            } else if (step == "=date"_L1) {
                r.msgdate = u"Dec 24"_s;
            } else if (step == "=host3"_L1) {
                r.hostname.truncate(3);
            } else if (step == "=date0"_L1) {
                r.msgdate[0] = u'X';
            } else if (step == "=time"_L1) {
                r.msgtime.clear();
                r.msgtime = QString::fromLatin1("23:59:59");
            } else {
                r.udpdata = step;
                r.parseudp();
            }
            got << QStringList{r.msgdate, r.msgtime, r.hostname, r.sensorname, r.sensorvalue}.join(u'|');
            held << QStringList{r.sensorname, r.sensorvalue};
        }
        QCOMPARE(got, expected);
        for (qsizetype i = 0; i < held.size(); ++i)
            QCOMPARE(held[i].join(u'|'), expected[i].section(u'|', 3));
    }
};

ZARARE_TEST(ReadingParserTest)
#include "ReadingParserTest.moc"
