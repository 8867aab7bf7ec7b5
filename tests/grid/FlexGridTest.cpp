#include "grid/FlexGrid.h"
#include "TestRegistry.h"

#include <QBrush>
#include <QSignalSpy>
#include <QTest>

class FlexGridTest : public QObject {
    Q_OBJECT
private slots:
    // The shape, the headers and the current cell as the header row uses them are checked through the
    // main window and the host grid.
    void coloursCurrentCellAndRows() {
        FlexGrid g;
        g.setForeColorAt(1, 4, 0x0000FF); // blue-green-red order
        QCOMPARE(g.data(g.index(0, 3), Qt::ForegroundRole).value<QBrush>().color(), QColor(255, 0, 0));
        QVERIFY(g.setRow(2) && g.setCol(5));
        g.setText(QStringLiteral("x"));
        QCOMPARE(g.Text(), QStringLiteral("x"));
        // Outside the grid the current cell stays where it was.
        QVERIFY(!g.setRow(4) && !g.setCol(131) && !g.setRow(-1));
        QCOMPARE(QPoint(g.Row(), g.Col()), QPoint(2, 5));

        // Rows shrink and grow keeping the cells of the rows that stay; a row that was removed comes back
        // empty.
        g.setTextAt(3, 1, QStringLiteral("gone"));
        QVERIFY(g.setRows(2) && g.setRows(5));
        QVERIFY(g.hasForeColor(1, 4));
        QCOMPARE(g.textAt(3, 1), QString());
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
        QCOMPARE(QList<qsizetype>({inserted.count(), removed.count(), changed.count()}),
                 QList<qsizetype>({1, 0, 1}));
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
        for (int col :
             {3, 63, 64, 130}) // in the first word of bits, its last, the second word, the last column
            QTest::addRow("column %d", col) << col;
    }
    void filledBitsFollowEveryWrite() {
        QFETCH(int, col);
        FlexGrid g;
        QVERIFY(!g.rowFilled(2)); // nothing written yet
        const auto write = [&](bool copy, const QString &text) {
            copy ? g.copyTextAt(2, col, text) : g.setTextAt(2, col, text);
            for (int w = 0; w < FlexGrid::FilledWords; ++w) // no other bit is ever set
                if (g.rowFilled(2)[w] & ~(w == col / 64 ? quint64(1) << (col % 64) : 0))
                    return -1;
            return int(g.rowFilled(2)[col / 64] >> (col % 64) & 1);
        };
        // A space is text; what it means is the reader's business.
        QCOMPARE((QList<int>{write(false, "a"), write(false, ""), write(true, "b"), write(true, ""),
                             write(false, " ")}),
                 (QList<int>{1, 0, 1, 0, 1}));
        g.setRows(2); // row 2 goes, and comes back empty
        g.setRows(3);
        QVERIFY(!g.rowFilled(2) || !(g.rowFilled(2)[col / 64] >> (col % 64) & 1));
    }

    void copiedTextIsTheCellsOwn() {
        FlexGrid g;
        QString value = QStringLiteral(" 45.0 ");
        g.copyTextAt(1, 4, value);
        QCOMPARE(g.textAt(1, 4), value);
        const QChar *storage = g.textAt(1, 4).constData();
        QVERIFY(storage != value.constData()); // a copy: the writer may reuse its buffer
        g.copyTextAt(1, 4, u" 46.5 ");
        QCOMPARE(g.textAt(1, 4), QStringLiteral(" 46.5 "));
        QCOMPARE(g.textAt(1, 4).constData(), storage); // rewritten in place
        // A text someone else still holds is not written over.
        const QString held = g.textAt(1, 4);
        g.copyTextAt(1, 4, u" 47.0 ");
        QCOMPARE(held, QStringLiteral(" 46.5 "));
        QCOMPARE(g.textAt(1, 4), QStringLiteral(" 47.0 ")); // the same text again: see ageAndStale()
    }

    // Which value texts are numbers, and how they meet the bounds warn 10, crit 20, low-crit -5 of sensors
    // named T*; the level shows as the cell's background.
    void levelOfText_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("col"); // of the value; the name is before it
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("level"); // 0 none, 1 warning, 2 critical
        const std::pair<const char *, int> rows[] = {
            {" 5 ", 0},   {" 15 ", 1},    {" 25 ", 2},   {" 20.0001 ", 2}, {" +21 ", 2}, {" -6 ", 2},
            {" 1e2 ", 2}, {" inf ", 0},   {" --5 ", 0},  {" 1,2.5 ", 0},   {" . ", 0},   {" - ", 0},
            {"", 0},      {" 12abc ", 0}, {" 0x20 ", 0}, {" 19,5 ", 1},    {" hot ", 0}};
        for (const auto &[value, level] : rows)
            QTest::newRow(value) << " Temp" << 4 << QString::fromLatin1(value) << level;
        QTest::newRow("beyond a double's digits") << " Temp" << 4 << " 20.00000000000000001 " << 1;
        QTest::newRow("name in any case, second slot") << " temp" << 6 << " 25 " << 2;
        QTest::newRow("no rule for the name") << " Vcore" << 4 << " 99 " << 0;
    }
    void levelOfText() {
        QFETCH(QString, name);
        QFETCH(int, col);
        QFETCH(QString, value);
        QFETCH(int, level);
        FlexGrid g;
        RuleSet rules;
        rules.thresholds.push_back({QStringLiteral("T*"), {10, 20, Bounds::None, -5}});
        g.setRules(rules);
        g.setRows(2);
        g.setTextAt(1, col - 1, name);
        col == 4 ? g.copyTextAt(1, col, value) : g.setTextAt(1, col, value); // either write reckons the level
        QCOMPARE(int(g.alarmAt(1, col)), level);
        QCOMPARE(g.data(g.index(0, col - 1), Qt::BackgroundRole).isValid(), level != 0);
    }

    // Cell ages and stale marking with an injected clock: no sleeps.
    void ageAndStale_data() {
        QTest::addColumn<int>("staleMs");
        QTest::addColumn<int>("elapsedMs");
        QTest::addColumn<QString>("age"); // as the value's tip and the silent host's give it
        QTest::addColumn<bool>("grey");
        QTest::newRow("at the stale time") << 60000 << 60000 << "1 min 0 s" << false;
        QTest::newRow("just past it") << 60000 << 60100 << "1 min 0 s" << true;
        QTest::newRow("hours") << 90000 << 7500000 << "2 h 5 min" << true;
        QTest::newRow("stale off") << 0 << 7500000 << "2 h 5 min" << false;
    }
    void ageAndStale() {
        QFETCH(int, staleMs);
        QFETCH(int, elapsedMs);
        QFETCH(QString, age);
        QFETCH(bool, grey);
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
        for (const int role : {Qt::ToolTipRole, Qt::AccessibleDescriptionRole})
            QCOMPARE(g.data(value, role).toString(), QStringLiteral("45.0, %1 ago").arg(age));
        QCOMPARE(g.data(value, Qt::ForegroundRole).isValid(), grey);
        QCOMPARE(g.headerData(0, Qt::Vertical, Qt::ForegroundRole).isValid(), grey);
        QCOMPARE(g.headerData(0, Qt::Vertical, Qt::ToolTipRole).toString(),
                 grey ? QStringLiteral("silent for %1").arg(age) : QString());
        QCOMPARE(g.data(name, Qt::ForegroundRole).value<QBrush>().color(), QColor(0, 0, 255)); // stays blue
        QCOMPARE(g.data(value, Qt::DisplayRole).toString(), QStringLiteral(" 45.0 "));

        // The same value again: the colour comes back at once, and views hear of it; a fresh cell's views
        // hear nothing.
        QSignalSpy changed(&g, &QAbstractItemModel::dataChanged);
        g.setWriteTime(now);
        g.copyTextAt(1, 4, u" 45.0 ");
        g.flush();
        QCOMPARE(g.data(value, Qt::ToolTipRole).toString(), QStringLiteral("45.0, 0 s ago"));
        QVERIFY(!g.data(value, Qt::ForegroundRole).isValid());
        QCOMPARE(changed.size(), grey ? 1 : 0);
        // The once-a-second refresh tells views of the colours, unless stale marking is off.
        QSignalSpy refreshed(&g, &QAbstractItemModel::headerDataChanged);
        g.refreshAges();
        QCOMPARE(refreshed.size(), staleMs > 0 ? 1 : 0);
        // A cell never written with a time has no age.
        QCOMPARE(g.ageMs(2, 4), qint64(-1));
        QVERIFY(!g.data(g.index(1, 3), Qt::ToolTipRole).isValid());
    }
};

ZARARE_TEST(FlexGridTest)
#include "FlexGridTest.moc"
