#include "TestRegistry.h"
#include "grid/FlexGrid.h"
#include "net/UdpSocket.h"
#include "reception/DatagramReception.h"

#include <QTest>

using namespace Qt::StringLiterals;

// The unit of a reading travels from the datagram into its value cell's tooltip, while the cell's
// text stays the value alone.
class ReadingUnitTest : public QObject {
    Q_OBJECT
private slots:
    void unitInTooltip_data() {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("then");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("tooltip");
        const QByteArray bsd = "<13>Sep  9 20:04:58 office sensor[CPU Temp]: ", none;
        const QByteArray rfc = "<13>1 2026-09-09T20:04:58Z office sensor[CPU Temp] - - ";
        QTest::newRow("unit") << bsd + "Temp=45.0 C" << none << " 45.0 " << u"45.0 C"_s;
        QTest::newRow("no unit") << bsd + "Temp=45.0" << none << " 45.0 " << u"45.0"_s;
        QTest::newRow("spaces around the unit")
            << bsd + "Temp=45.0    C  " << none << " 45.0 " << u"45.0 C"_s;
        QTest::newRow("unit of several words")
            << bsd + "Fan=1200 RPM (max)" << none << " 1200 " << u"1200 RPM (max)"_s;
        QTest::newRow("rfc 5424") << rfc + "Temp=45.0 C" << none << " 45.0 " << u"45.0 C"_s;
        QTest::newRow("next reading drops it") << bsd + "Temp=45.0 C" << bsd + "Temp=46.0"
                                               << " 46.0 " << u"46.0"_s;
        QTest::newRow("next reading changes it") << bsd + "Temp=45.0 C" << bsd + "Temp=113.0 F"
                                                 << " 113.0 " << u"113.0 F"_s;
    }
    void unitInTooltip() {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, then);
        QFETCH(QString, tooltip);
        UdpSocket socket;
        FlexGrid grid;
        grid.setClock([] { return qint64(5000); });
        grid.setWriteTime(5000);
        DatagramReception rx(socket, grid);
        rx.processDatagram(first);
        if (!then.isEmpty())
            rx.processDatagram(then);
        grid.flush();
        QTEST(grid.textAt(1, 4), "value");
        QCOMPARE(grid.data(grid.index(0, 3), Qt::ToolTipRole).toString(), tooltip + u", 0 s ago"_s);
    }

    // Every datagram may bring a unit never seen: only so many are kept, and the rest show none
    // rather than growing memory without bound.
    void unitsAreBounded() {
        UdpSocket socket;
        FlexGrid grid;
        grid.setWriteTime(0);
        DatagramReception rx(socket, grid);
        const auto send = [&rx](int n) {
            rx.processDatagram("<13>Sep  9 20:04:58 office sensor[S]: v=1 u" + QByteArray::number(n));
        };
        for (int n = 1; n < FlexGrid::MaxUnits; ++n)
            send(n);
        QCOMPARE(grid.unitAt(1, 4), u"u%1"_s.arg(FlexGrid::MaxUnits - 1));
        send(FlexGrid::MaxUnits);
        QVERIFY(grid.unitAt(1, 4).isEmpty());
        send(7); // a unit kept before is still found
        QCOMPARE(grid.unitAt(1, 4), u"u7"_s);
    }
};

ZARARE_TEST(ReadingUnitTest)
#include "ReadingUnitTest.moc"
