#include "TestRegistry.h"
#include "grid/FlexGrid.h"
#include "net/UdpSocket.h"
#include "reception/DatagramReception.h"

#include <QTest>
#include <QUdpSocket>

// Whatever bytes arrive, each datagram is counted and ends in a defined grid state. Every case starts
// from a grid that already holds host "KNOWN" with sensor " Old" (so that readings without a host or a
// tag show what they keep), and says which row and slot it lands in and what is written there.
class HostileDatagramTest : public QObject {
    Q_OBJECT

    static QByteArray allBytes() {
        QByteArray b;
        for (int i = 0; i < 256; ++i)
            b += char(i);
        return b;
    }

private slots:
    void outcomes_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("host");  // column 0 of the row the reading went to
        QTest::addColumn<QString>("name");  // the name cell of its slot
        QTest::addColumn<QString>("value"); // the value cell of its slot
        QTest::addColumn<int>("hosts");     // host rows afterwards

        struct Row {
            const char *name, *bytes, *host, *slotName, *value;
            int hosts;
        };
        const Row rows[] = {
            {"empty", "", "KNOWN", " Old", "  ", 1},
            {"one byte", "x", "KNOWN", " Old", "  ", 1},
            {"only >", ">", "KNOWN", " Old", "  ", 1},
            {"only a time stamp", "<13>Sep  9 20:04:58", "KNOWN", " Old", "  ", 1},
            {"no host name", "<13>Sep  9 20:04:58 sensor[Fan]:", "KNOWN", " Fan", "  ", 1},
            {"busybox, no host", "<13>Sep  9 20:04:58 root: Temp=40 C", "KNOWN", " Old", " 40 ", 1},
            {"tag without brackets", "<13>Sep  9 20:04:58 H sensor: T=1 C", "H", " Old", " 1 ", 2},
            {"brackets reversed", "<13>Sep  9 20:04:58 H x]y[CPU]: T=2 C", "H", " CPU", " 2 ", 2},
            {"several = and :", "<13>Sep  9 20:04:58 H s[A]: a:b=c=d e:f", "H", " A", " c=d ", 2},
            {"CR LF ending", "<13>Sep  9 20:04:58 H s[A]: T=4\r\n", "H", " A", " 4 ", 2},
            {"RFC 5424", "<13>1 2026-12-06T19:32:12.123Z host app 1 - - msg", "host", " Old", " msg ", 2},
            {"invalid UTF-8 as Latin-1", "<13>Sep  9 20:04:58 H s[T\xb0]: T=5\xb0", "H", " T\u00b0",
             " 5\u00b0 ", 2},
        };
        for (const Row &r : rows)
            QTest::newRow(r.name) << QByteArray(r.bytes) << QString::fromUtf8(r.host)
                                  << QString::fromUtf8(r.slotName) << QString::fromUtf8(r.value) << r.hosts;
        QTest::newRow("NUL inside") << QByteArray("<13>Sep  9 20:04:58 H s[A") + '\0' + QByteArray("B]: T=3")
                                    << "H" << QStringLiteral(" A") + QChar(0) + QStringLiteral("B") << " 3 "
                                    << 2;
        // The first ">" is byte 62; no space follows it, so the host stays, and "\\" lies between "[" and
        // "]".
        QTest::newRow("every byte value")
            << allBytes() << "KNOWN"
            << " \\" << QLatin1Char(' ') + QString::fromLatin1(allBytes().mid(79)) + QLatin1Char(' ') << 1;
    }
    void outcomes() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, hosts);
        UdpSocket socket;
        FlexGrid grid;
        DatagramReception reception(socket, grid);
        const QByteArray first("<13>Sep  9 20:04:58 KNOWN sensor[Old]: T=0");
        reception.processDatagram(first);
        reception.processDatagram(bytes);
        QCOMPARE(reception.PacketsReceived.text(), QStringLiteral("2"));
        QCOMPARE(reception.ReceivedBytes.value(), double(first.size() + bytes.size()));
        QCOMPARE(reception.hostGrid.hostcount(), hosts);
        QCOMPARE(grid.Rows(), hosts + 1);
        const int row = reception.hostGrid.hostrow();
        const int col = reception.hostGrid.sensorcol();
        QVERIFY(row >= 1 && col >= 3);
        QTEST(grid.textAt(row, 0), "host");
        QTEST(grid.textAt(row, col), "name");
        QTEST(grid.textAt(row, col + 1), "value");
    }

    void maximumDatagramKeepsEveryFieldWithinItsCap() {
        UdpSocket socket;
        FlexGrid grid;
        DatagramReception reception(socket, grid);
        QByteArray big("<13>Sep  9 20:04:58 ");
        big += QByteArray(200, 'h') + " s[" + QByteArray(30000, 'n') + "]: v=" + QByteArray(65507, 'v');
        big.truncate(65507);
        reception.processDatagram(big);
        QCOMPARE(reception.ReceivedBytes.text(), QStringLiteral("65507"));
        for (int c = 0; c < FlexGrid::Columns; ++c)
            QVERIFY(grid.textAt(1, c).size() <= 257); // 255 and the padding spaces
        QCOMPARE(grid.textAt(1, 0), QString(200, QLatin1Char('h')));
    }

    // The same bytes over a real socket, as fast as they can be sent: all counted, nothing stops.
    void floodOfHostileDatagramsOverLoopback() {
        UdpSocket socket;
        FlexGrid grid;
        DatagramReception reception(socket, grid);
        QVERIFY(socket.bindPort(0));
        const QList<QByteArray> shapes{QByteArray(),
                                       QByteArray(">"),
                                       allBytes(),
                                       QByteArray(65507, '['),
                                       QByteArray("<13>Sep  9 20:04:58 H s[A]: T=1\r\n"),
                                       QByteArray("\xff\xfe\x00", 3)};
        QUdpSocket out;
        qint64 bytes = 0;
        const int rounds = 50;
        for (int i = 0; i < rounds; ++i) {
            for (const QByteArray &d : shapes) {
                QCOMPARE(out.writeDatagram(d, QHostAddress::LocalHost, socket.localPort()), qint64(d.size()));
                bytes += d.size();
            }
            QCoreApplication::processEvents();
        }
        QTRY_COMPARE(reception.PacketsReceived.value(), double(rounds * shapes.size()));
        QCOMPARE(reception.ReceivedBytes.value(), double(bytes));
    }
};

ZARARE_TEST(HostileDatagramTest)
#include "HostileDatagramTest.moc"
