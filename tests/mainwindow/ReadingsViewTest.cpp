#include "mainwindow/ReadingsView.h"
#include "TestRegistry.h"
#include "desktop/CellDelegate.h"
#include "grid/FlexGrid.h"

#include <QHeaderView>
#include <QTest>

class ReadingsViewTest : public QObject {
    Q_OBJECT
private slots:
    // After a frame of writes the view repaints the cells written, each once, when the grid lists them;
    // when it does not (more writes than it lists, rules changed for every cell) the whole range between
    // them.
    void repaintsTheCellsWritten_data() {
        QTest::addColumn<QList<QPoint>>("writes"); // (row, column) of the grid, in turn
        QTest::addColumn<bool>("newRules");
        QTest::addColumn<bool>("listed");
        QTest::newRow("one cell") << QList<QPoint>{{2, 3}} << false << true;
        QTest::newRow("far apart") << QList<QPoint>{{1, 1}, {5, 7}, {10, 12}, {9, 2}} << false << true;
        QTest::newRow("one cell twice") << QList<QPoint>{{4, 4}, {4, 4}} << false << true;
        QList<QPoint> many(FlexGrid::ExactCells, QPoint(1, 1)); // one cell over and over, then others
        many << QPoint(5, 7) << QPoint(10, 12);
        QTest::newRow("more than are listed") << many << false << false;
        QTest::newRow("rules dropped") << QList<QPoint>{{2, 3}} << true << false;
    }
    void repaintsTheCellsWritten() {
        QFETCH(QList<QPoint>, writes);
        QFETCH(bool, newRules);
        QFETCH(bool, listed);
        FlexGrid grid;
        grid.setRows(11);
        for (int r = 1; r <= 10; ++r)
            for (int c = 0; c <= 12; ++c)
                grid.setTextAt(r, c, QStringLiteral("r%1c%2").arg(r).arg(c));
        grid.flush();
        ReadingsView view(grid);
        view.setModel(&grid);
        auto *cells = new CellDelegate(&view);
        view.setItemDelegate(cells);
        view.setWordWrap(false);
        view.setFocusPolicy(
            Qt::NoFocus); // the current cell would be painted by the style, with its focus frame
        view.horizontalHeader()->setDefaultSectionSize(50);
        view.resize(900, 400);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTest::qWait(30);

        const qint64 before = cells->plainPaints();
        int n = 0;
        for (const QPoint &w : writes)
            grid.setTextAt(w.x(), w.y(), QStringLiteral("new %1").arg(++n));
        if (newRules)
            grid.setRules(RuleSet()); // every cell may change colour, none is written
        grid.flush();
        QTRY_VERIFY(cells->plainPaints() > before);
        QTest::qWait(30);

        // The body cells expected to be painted: those written, or every shown one of the range.
        QSet<QPoint> expected;
        int top = 10, bottom = 1, left = 12, right = 1;
        for (const QPoint &w : writes) {
            expected << w;
            top = std::min(top, w.x()), bottom = std::max(bottom, w.x());
            left = std::min(left, w.y()), right = std::max(right, w.y());
        }
        if (newRules)
            top = 1, bottom = 10, left = 1, right = 12;
        if (!listed) {
            expected.clear();
            for (int r = top; r <= bottom; ++r)
                for (int c = left; c <= right; ++c)
                    if (view.viewport()->rect().intersects(view.visualRect(grid.index(r - 1, c - 1))))
                        expected << QPoint(r, c);
        }
        QCOMPARE(cells->plainPaints() - before, qint64(expected.size()));
    }
};

ZARARE_TEST(ReadingsViewTest)
#include "ReadingsViewTest.moc"
