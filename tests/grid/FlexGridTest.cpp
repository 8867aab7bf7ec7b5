#include "grid/FlexGrid.h"
#include "TestRegistry.h"

#include <QBrush>
#include <QSignalSpy>
#include <QTest>

class FlexGridTest : public QObject {
    Q_OBJECT
private slots:
    void shapeHeadersColoursAndCurrentCell() {
        FlexGrid g;
        QCOMPARE(g.Rows(), 4);
        QCOMPARE(g.Cols(), 131);
        // Views see the body: the fixed row and column are headers.
        QCOMPARE(g.rowCount(), 3);
        QCOMPARE(g.columnCount(), 130);
        QCOMPARE(g.textAt(3, 130), QString());
        g.setTextAt(0, 1, QStringLiteral("Date"));
        g.setTextAt(2, 0, QStringLiteral("OFFICE"));
        g.setTextAt(2, 4, QStringLiteral(" 45.0 "));
        QCOMPARE(g.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Date"));
        QCOMPARE(g.headerData(1, Qt::Vertical).toString(), QStringLiteral("OFFICE"));
        QCOMPARE(g.data(g.index(1, 3)).toString(), QStringLiteral(" 45.0 "));
        // Colours are numbers in blue-green-red order.
        g.setForeColorAt(0, 3, FlexGrid::Blue);
        g.setForeColorAt(1, 4, 0x0000FF);
        QCOMPARE(g.headerData(2, Qt::Horizontal, Qt::ForegroundRole).value<QBrush>().color(),
                 QColor(0, 0, 255));
        QCOMPARE(g.data(g.index(0, 3), Qt::ForegroundRole).value<QBrush>().color(), QColor(255, 0, 0));

        QVERIFY(g.setRow(2));
        QVERIFY(g.setCol(5));
        g.setText(QStringLiteral("x"));
        g.setCellForeColor(FlexGrid::Blue);
        QCOMPARE(g.Text(), QStringLiteral("x"));
        QCOMPARE(g.textAt(2, 5), QStringLiteral("x"));
        QVERIFY(g.hasForeColor(2, 5));
        QCOMPARE(g.foreColorAt(2, 5), FlexGrid::Blue);
        QVERIFY(!g.hasForeColor(2, 6));
        // Outside the grid the current cell stays where it was.
        QVERIFY(!g.setRow(4));
        QVERIFY(!g.setCol(131));
        QVERIFY(!g.setRow(-1));
        QCOMPARE(g.Row(), 2);
        QCOMPARE(g.Col(), 5);
    }

    void rowsShrinkAndGrowKeepingCells() {
        FlexGrid g;
        g.setTextAt(1, 0, QStringLiteral("host"));
        g.setForeColorAt(1, 3, FlexGrid::Blue);
        g.setTextAt(3, 1, QStringLiteral("gone"));
        QVERIFY(g.setRows(2));
        QCOMPARE(g.textAt(1, 0), QStringLiteral("host"));
        QVERIFY(g.setRows(5));
        QCOMPARE(g.textAt(1, 0), QStringLiteral("host"));
        QVERIFY(g.hasForeColor(1, 3));
        QCOMPARE(g.textAt(3, 1), QString()); // a row that was removed comes back empty
        QVERIFY(!g.setRows(0));
        QCOMPARE(g.Rows(), 5);
    }

    // Writes are published to views once, merged, whatever their number.
    void changesArePublishedMergedOncePerFlush() {
        FlexGrid g;
        QSignalSpy changed(&g, &QAbstractItemModel::dataChanged);
        QSignalSpy inserted(&g, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&g, &QAbstractItemModel::rowsRemoved);
        g.setRows(2);
        g.setRows(10);
        for (int r = 1; r < 10; ++r)
            g.setTextAt(r, 1 + r % 5, QString::number(r));
        QCOMPARE(changed.count(), 0);
        g.flush();
        QCOMPARE(removed.count(), 0);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(g.rowCount(), 9);
        QCOMPARE(changed.count(), 1);
        const auto from = changed[0][0].value<QModelIndex>(), to = changed[0][1].value<QModelIndex>();
        QCOMPARE((QList<int>{from.row(), from.column(), to.row(), to.column()}), (QList<int>{0, 0, 8, 4}));

        g.setRows(2);
        g.flush();
        QCOMPARE(removed.count(), 1);
        QCOMPARE(g.rowCount(), 1);

        // Writing the same text again is no change at all.
        g.setTextAt(1, 1, g.textAt(1, 1));
        g.flush();
        QCOMPARE(changed.count(), 1);
        // The frame timer publishes by itself.
        g.setTextAt(1, 2, QStringLiteral("later"));
        QTRY_COMPARE(changed.count(), 2);
    }

    // The filled bits must follow every write, whatever wrote it: searches skip the cells they call empty.
    void filledBitsFollowEveryWrite_data() {
        QTest::addColumn<int>("col");
        QTest::newRow("first word") << 3;
        QTest::newRow("last of first word") << 63;
        QTest::newRow("second word") << 64;
        QTest::newRow("last column") << 130;
    }
    void filledBitsFollowEveryWrite() {
        QFETCH(int, col);
        FlexGrid g;
        auto filled = [&](int row) {
            const quint64 *bits = g.rowFilled(row);
            return bits && (bits[col / 64] >> (col % 64)) & 1;
        };
        QVERIFY(!g.rowFilled(2)); // nothing written yet
        g.setTextAt(2, col, QStringLiteral("a"));
        QVERIFY(filled(2));
        g.setTextAt(2, col, QString());
        QVERIFY(!filled(2));
        g.copyTextAt(2, col, u"b");
        QVERIFY(filled(2));
        g.copyTextAt(2, col, QStringView());
        QVERIFY(!filled(2));
        g.setTextAt(2, col, QStringLiteral(" "));
        QVERIFY(filled(2)); // a space is text; what it means is the reader's business
        g.setRows(2);       // row 2 goes, and comes back empty
        g.setRows(3);
        QVERIFY(!g.rowFilled(2) || !filled(2));
        for (int c = 0; c < FlexGrid::Columns; ++c) // no other bit was ever set
            QVERIFY(c == col || !g.rowFilled(1) || !((g.rowFilled(1)[c / 64] >> (c % 64)) & 1));
    }

    void copiedTextIsTheCellsOwn() {
        FlexGrid g;
        QString value = QStringLiteral(" 45.0 ");
        g.copyTextAt(1, 4, value);
        QCOMPARE(g.textAt(1, 4), value);
        const QChar *storage = g.textAt(1, 4).constData();
        QVERIFY(storage != value.constData()); // a copy: the writer may reuse its buffer
        value[1] = QLatin1Char('9');
        QCOMPARE(g.textAt(1, 4), QStringLiteral(" 45.0 "));
        g.copyTextAt(1, 4, u" 46.5 ");
        QCOMPARE(g.textAt(1, 4), QStringLiteral(" 46.5 "));
        QCOMPARE(g.textAt(1, 4).constData(), storage); // rewritten in place
        // A text someone else still holds is not written over.
        const QString held = g.textAt(1, 4);
        g.copyTextAt(1, 4, u" 47.0 ");
        QCOMPARE(held, QStringLiteral(" 46.5 "));
        QCOMPARE(g.textAt(1, 4), QStringLiteral(" 47.0 "));
        QSignalSpy changed(&g, &FlexGrid::dataChanged);
        g.flush();
        QCOMPARE(changed.size(), 1);
        g.copyTextAt(1, 4, u" 47.0 "); // the same text again tells no view
        g.flush();
        QCOMPARE(changed.size(), 1);
    }
};

ZARARE_TEST(FlexGridTest)
#include "FlexGridTest.moc"
