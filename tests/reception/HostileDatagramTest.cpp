#include "TestRegistry.h"
#include "grid/FlexGrid.h"
#include "net/UdpSocket.h"
#include "reception/DatagramReception.h"

#include <QTest>
#include <QUdpSocket>

// Whatever bytes arrive, each datagram is counted and ends in a defined grid state; the bytes of each
// shape and where they land are in the reading parser's table.
using namespace Qt::StringLiterals;

class HostileDatagramTest : public QObject {
    Q_OBJECT

private slots:
    void maximumDatagramKeepsEveryFieldWithinItsCap() {
        UdpSocket socket;
        FlexGrid grid;
        DatagramReception reception(socket, grid);
        QByteArray big("<13>Sep  9 20:04:58 ");
        big += QByteArray(200, 'h') + " s[" + QByteArray(30000, 'n') + "]: v=" + QByteArray(65507, 'v');
        big.truncate(65507);
        reception.processDatagram(big);
        QCOMPARE(reception.ReceivedBytes.text(), u"65507"_s);
        for (int c = 0; c < FlexGrid::Columns; ++c)
            QVERIFY(grid.textAt(1, c).size() <= 257); // 255 and the padding spaces
        QCOMPARE(grid.textAt(1, 0), QString(200, u'h'));
    }

    // The same bytes over a real socket, as fast as they can be sent: all counted, nothing stops.
    void floodOfHostileDatagramsOverLoopback() {
        UdpSocket socket;
        FlexGrid grid;
        DatagramReception reception(socket, grid);
        QVERIFY(socket.bindPort(0));
        QByteArray all;
        for (int i = 0; i < 256; ++i)
            all += char(i);
        const QList<QByteArray> shapes{QByteArray(),
                                       QByteArray(">"),
                                       all,
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
