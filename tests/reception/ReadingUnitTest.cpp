#include "TestRegistry.h"
#include "grid/FlexGrid.h"
#include "net/UdpSocket.h"
#include "reception/DatagramReception.h"

#include <QTest>

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
        const QByteArray bsd = "<13>Sep  9 20:04:58 office sensor[CPU Temp]: ";
        QTest::newRow("unit") << bsd + "Temp=45.0 C" << QByteArray() << " 45.0 "
                              << "45.0 C, 0 s ago";
        QTest::newRow("no unit") << bsd + "Temp=45.0" << QByteArray() << " 45.0 "
                                 << "45.0, 0 s ago";
        QTest::newRow("spaces around the unit") << bsd + "Temp=45.0    C  " << QByteArray() << " 45.0 "
                                                << "45.0 C, 0 s ago";
        QTest::newRow("unit of several words") << bsd + "Fan=1200 RPM (max)" << QByteArray() << " 1200 "
                                               << "1200 RPM (max), 0 s ago";
        QTest::newRow("rfc 5424") << QByteArray("<13>1 2026-09-09T20:04:58Z office sensor[CPU Temp] - - "
                                                "Temp=45.0 C")
                                  << QByteArray() << " 45.0 "
                                  << "45.0 C, 0 s ago";
        QTest::newRow("unit dropped by the next reading") << bsd + "Temp=45.0 C" << bsd + "Temp=46.0"
                                                          << " 46.0 "
                                                          << "46.0, 0 s ago";
        QTest::newRow("unit changed by the next reading") << bsd + "Temp=45.0 C" << bsd + "Temp=113.0 F"
                                                          << " 113.0 "
                                                          << "113.0 F, 0 s ago";
    }
    void unitInTooltip() {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, then);
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
        QTEST(grid.data(grid.index(0, 3), Qt::ToolTipRole).toString(), "tooltip");
    }

    // Every datagram may bring a unit never seen: only so many are kept, and the rest show none
    // rather than growing memory without bound.
    void unitsAreBounded() {
        UdpSocket socket;
        FlexGrid grid;
        grid.setWriteTime(0);
        DatagramReception rx(socket, grid);
        const auto send = [&rx](int n) {
            rx.processDatagram(QByteArray("<13>Sep  9 20:04:58 office sensor[S]: v=1 u") +
                               QByteArray::number(n));
        };
        for (int n = 1; n < FlexGrid::MaxUnits; ++n)
            send(n);
        QCOMPARE(grid.unitAt(1, 4), QStringLiteral("u%1").arg(FlexGrid::MaxUnits - 1));
        send(FlexGrid::MaxUnits);
        QVERIFY(grid.unitAt(1, 4).isEmpty());
        send(7); // a unit kept before is still found
        QCOMPARE(grid.unitAt(1, 4), QStringLiteral("u7"));
    }
};

ZARARE_TEST(ReadingUnitTest)
#include "ReadingUnitTest.moc"
