#include "TestRegistry.h"
#include "grid/FlexGrid.h"
#include "grid/FrameTimer.h"
#include "net/UdpSocket.h"
#include "reception/DatagramReception.h"

#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>

using namespace Qt::StringLiterals;

// The socket reads a steady stream in gathered batches; these cases hold it to what the reception path
// promises whatever the schedule: every datagram delivered once, in the order it was sent, counted, and
// stored; the views told of it at most once a frame; and a datagram that comes alone is not kept waiting.
class ReadSchedulingTest : public QObject {
    Q_OBJECT

    static QByteArray reading(int seq) {
        return "<13>Dec  7 06:00:00 H" + QByteArray::number(seq % 5) +
               " sensor[Seq]: Seq=" + QByteArray::number(seq) + '\n'; // the framing is counted too
    }

    struct Receiver {
        UdpSocket socket;
        FlexGrid grid;
        DatagramReception reception{socket, grid};
        QList<int> order; // the number each delivered datagram carried, as the handlers saw them
        Receiver() {
            reception.hostGrid.writeHeaderRow();
            QObject::connect(&socket, &UdpSocket::DataArrival, &socket, [this](int) {
                const QByteArrayView d = socket.GetData();
                order << d.sliced(d.lastIndexOf('=') + 1).trimmed().toInt();
            });
        }
        // Host H<h> as its row shows it: host, sensor name and value (one sensor per host: its first slot).
        QString value(int host) const {
            const int r = reception.hostGrid.rowOf(u"H%1"_s.arg(host));
            return r ? grid.textAt(r, 0) + grid.textAt(r, 3) + u'=' + grid.textAt(r, 4).trimmed() : QString();
        }
    };

private slots:
    void burstsArriveCompleteAndInOrder_data() {
        QTest::addColumn<int>("bursts");
        QTest::addColumn<int>("perBurst");
        QTest::newRow("one datagram") << 1 << 1; // then the lone one comes to an idle socket
        QTest::newRow("just under one read") << 1 << 63;
        QTest::newRow("exactly one read") << 1 << 64;
        QTest::newRow("one read and one more") << 1 << 65;
        QTest::newRow("many reads in one burst") << 1 << 2000; // then the lone one while reads gather
        // Each burst goes out after the event loop has turned: most land while the socket gathers.
        QTest::newRow("a stream of small bursts") << 300 << 3;
        QTest::newRow("a stream of read-sized bursts") << 20 << 64;
    }
    // Then one more datagram, alone, reaches its cell within a frame.
    void burstsArriveCompleteAndInOrder() {
        QFETCH(int, bursts);
        QFETCH(int, perBurst);
        Receiver r;
        QVERIFY(r.socket.bindPort(0));
        QSignalSpy counters(&r.reception, &DatagramReception::countersChanged);
        QUdpSocket out;
        qint64 bytes = 0;
        int seq = 0;
        for (int b = 0; b < bursts; ++b) {
            for (int i = 0; i < perBurst; ++i, ++seq) {
                const QByteArray d = reading(seq);
                QCOMPARE(out.writeDatagram(d, QHostAddress::LocalHost, r.socket.localPort()),
                         qint64(d.size()));
                bytes += d.size();
            }
            if (bursts > 1)
                QTest::qWait(1);
        }
        const int total = bursts * perBurst;
        QTRY_COMPARE(r.reception.PacketsReceived.value(), double(total));
        QCOMPARE(r.reception.ReceivedBytes.value(), double(bytes));
        QCOMPARE(r.order.size(), total); // one DataArrival per datagram
        for (int i = 0; i < total; ++i)
            QCOMPARE(r.order[i], i);
        // Stored in order too: each host's cell holds the last reading it sent.
        for (int h = 0; h < 5 && h < total; ++h)
            QCOMPARE(r.value(h), u"H%1 Seq=%2"_s.arg(h).arg(total - 1 - (total - 1 - h) % 5));
        QTRY_VERIFY(counters.count() >= 1);
        QVERIFY(counters.count() <= total); // at most once per frame, not once per datagram
        out.writeDatagram(reading(total), QHostAddress::LocalHost, r.socket.localPort());
        QTRY_COMPARE_WITH_TIMEOUT(r.value(total % 5), u"H%1 Seq=%2"_s.arg(total % 5).arg(total),
                                  FrameTimer::FrameMs);
        QCOMPARE(r.reception.PacketsReceived.value(), double(total + 1));
    }
};

ZARARE_TEST(ReadSchedulingTest)
#include "ReadSchedulingTest.moc"
