#include "TestRegistry.h"
#include "grid/FlexGrid.h"

#include <QBrush>
#include <QSignalSpy>
#include <QTest>

// Cell ages and stale marking with an injected clock: no sleeps.
class CellAgeTest : public QObject {
    Q_OBJECT
private slots:
    void ageAndStale_data() {
        QTest::addColumn<qint64>("staleMs");
        QTest::addColumn<qint64>("elapsedMs");
        QTest::addColumn<QString>("valueTip");
        QTest::addColumn<bool>("grey");
        QTest::addColumn<QString>("hostTip");
        QTest::newRow("fresh") << qint64(60000) << qint64(3000) << "45.0, 3 s ago" << false << "";
        QTest::newRow("at the stale time")
            << qint64(60000) << qint64(60000) << "45.0, 1 min 0 s ago" << false << "";
        QTest::newRow("just past it")
            << qint64(60000) << qint64(60100) << "45.0, 1 min 0 s ago" << true << "silent for 1 min 0 s";
        QTest::newRow("minutes") << qint64(60000) << qint64(250000) << "45.0, 4 min 10 s ago" << true
                                 << "silent for 4 min 10 s";
        QTest::newRow("hours") << qint64(90000) << qint64(7500000) << "45.0, 2 h 5 min ago" << true
                               << "silent for 2 h 5 min";
        QTest::newRow("stale off") << qint64(0) << qint64(7500000) << "45.0, 2 h 5 min ago" << false << "";
    }
    void ageAndStale() {
        QFETCH(qint64, staleMs);
        QFETCH(qint64, elapsedMs);
        qint64 now = 1000000;
        FlexGrid g;
        g.setClock([&now] { return now; });
        g.setStaleMs(staleMs);
        g.setRows(3);
        g.setTextAt(1, 0, QStringLiteral("render-07"));
        g.setTextAt(1, 3, QStringLiteral(" CPU Temp"));
        g.setForeColorAt(1, 3, FlexGrid::Blue);
        g.setWriteTime(now);
        g.copyTextAt(1, 4, u" 45.0 ");
        g.flush();
        now += elapsedMs;
        const QModelIndex value = g.index(0, 3), name = g.index(0, 2);
        QTEST(g.data(value, Qt::ToolTipRole).toString(), "valueTip");
        QTEST(g.data(value, Qt::AccessibleDescriptionRole).toString(), "valueTip");
        QTEST(g.data(value, Qt::ForegroundRole).isValid(), "grey");
        QTEST(g.headerData(0, Qt::Vertical, Qt::ForegroundRole).isValid(), "grey");
        QTEST(g.headerData(0, Qt::Vertical, Qt::ToolTipRole).toString(), "hostTip");
        QCOMPARE(g.data(name, Qt::ForegroundRole).value<QBrush>().color(), QColor(0, 0, 255)); // stays blue
        QCOMPARE(g.data(value, Qt::DisplayRole).toString(), QStringLiteral(" 45.0 "));

        // The same value again: the colour comes back at once, and views hear of it.
        QSignalSpy changed(&g, &QAbstractItemModel::dataChanged);
        g.setWriteTime(now);
        g.copyTextAt(1, 4, u" 45.0 ");
        g.flush();
        QCOMPARE(g.data(value, Qt::ToolTipRole).toString(), QStringLiteral("45.0, 0 s ago"));
        QVERIFY(!g.data(value, Qt::ForegroundRole).isValid());
        QTEST(changed.size() == 1, "grey");
        // The once-a-second refresh tells views of the colours, unless stale marking is off.
        QSignalSpy refreshed(&g, &QAbstractItemModel::headerDataChanged);
        g.refreshAges();
        QCOMPARE(refreshed.size(), staleMs > 0 ? 1 : 0);
        // A cell never written with a time has no age.
        QCOMPARE(g.ageMs(2, 4), qint64(-1));
        QVERIFY(!g.data(g.index(1, 3), Qt::ToolTipRole).isValid());
    }
};
ZARARE_TEST(CellAgeTest)
#include "CellAgeTest.moc"
