#include "desktop/CellDelegate.h"
#include "TestRegistry.h"

#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>

#include <functional>
#include <memory>

namespace {

using Setup = std::function<void(QStandardItemModel &, QTableView &)>;

// A small table filled with `text` in every cell, then changed by `setup`.
struct Table {
    QStandardItemModel model{3, 3};
    QTableView view;
    CellDelegate *delegate = nullptr;

    Table(const QString &text, const Setup &setup, bool ours) {
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                model.setItem(r, c, new QStandardItem(text));
        view.setModel(&model);
        view.setWordWrap(false); // as the program's tables
        view.verticalHeader()->setDefaultSectionSize(view.fontMetrics().height() + 4);
        view.horizontalHeader()->setDefaultSectionSize(90);
        view.resize(360, 140);
        if (ours) {
            delegate = new CellDelegate(&view);
            view.setItemDelegate(delegate);
        }
        if (setup)
            setup(model, view);
    }
    QImage image() { return view.viewport()->grab().toImage(); }
};

// Text colours of their own for the active, inactive and disabled window, so that the wrong one shows.
void colourGroupsApart(QWidget &w) {
    QPalette p = w.palette();
    p.setColor(QPalette::Active, QPalette::Text, QColor(200, 0, 0));
    p.setColor(QPalette::Inactive, QPalette::Text, QColor(0, 0, 200));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0, 160, 0));
    w.setPalette(p);
}

// The first pixel where two pictures differ, for the failure message.
QString firstDifference(const QImage &a, const QImage &b) {
    if (a.size() != b.size())
        return QStringLiteral("sizes differ");
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                return QStringLiteral("at %1,%2: %3 against %4")
                    .arg(x)
                    .arg(y)
                    .arg(a.pixel(x, y), 8, 16)
                    .arg(b.pixel(x, y), 8, 16);
    return QString();
}

} // namespace

Q_DECLARE_METATYPE(Setup)

class CellDelegateTest : public QObject {
    Q_OBJECT
private slots:
    // Every kind of cell looks exactly as the style's delegate paints it; `plain` tells whether the
    // cheap path may take the cells (the others must be left to the style, or they would look wrong).
    // Painted again after `change`, the cells are drawn as they are now.
    void looksAsTheStylePaints_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<bool>("plain");
        QTest::addColumn<Setup>("change");
        const Setup none;
        const auto row = [](const char *name, const QString &text, const Setup &setup, bool plain,
                            const Setup &change = {}) {
            QTest::newRow(name) << text << setup << plain << change;
        };
        const auto view = [](const std::function<void(QTableView &)> &change) {
            return Setup([=](QStandardItemModel &, QTableView &v) { change(v); });
        };
        const auto item = [](int r, int c, const std::function<void(QStandardItem *)> &change) {
            return Setup([=](QStandardItemModel &m, QTableView &) { change(m.item(r, c)); });
        };
        const QString value = QStringLiteral(" 45.0 ");
        const QString wide = QStringLiteral("a sensor name far wider than any cell of the grid");
        row("value", value, none, true);
        row("blue name", value, item(1, 1, [](QStandardItem *i) { i->setForeground(QColor(0, 0, 255)); }),
            true);
        row("alarm background", value,
            item(0, 2, [](QStandardItem *i) { i->setBackground(QColor(255, 96, 96)); }), true);
        row("gradient background", value,
            item(1, 1,
                 [](QStandardItem *i) {
                     QLinearGradient g(0, 0, 30, 8);
                     g.setColorAt(0, Qt::yellow);
                     g.setColorAt(1, Qt::cyan);
                     i->setBackground(QBrush(g));
                 }),
            true);
        row("right aligned", QStringLiteral("1200"),
            item(1, 0, [](QStandardItem *i) { i->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter); }),
            true);
        row("centred at the top", QStringLiteral("12"),
            item(1, 0, [](QStandardItem *i) { i->setTextAlignment(Qt::AlignHCenter | Qt::AlignTop); }), true);
        row("bold font", QStringLiteral("Vcore"),
            item(2, 1,
                 [](QStandardItem *i) {
                     QFont f = i->font();
                     f.setBold(true);
                     i->setFont(f);
                 }),
            true);
        row("mixed scripts", QStringLiteral("Temp \u05D8\u05DE\u05E4 \u0627\u0644"), none, true);
        row("accents and wide", QStringLiteral("\u00C5\u0301 \u4E2D\u6587 \U0001F321"), none, true);
        row("tab past the cell: elided", QStringLiteral("a\tb"), none, true);
        row("too wide: elided", wide, none, true);
        row("elided in the middle", wide, view([](QTableView &v) { v.setTextElideMode(Qt::ElideMiddle); }),
            true);
        row("not elided", wide, view([](QTableView &v) { v.setTextElideMode(Qt::ElideNone); }), true);
        row("elided, with a length separator",
            QStringLiteral("a sensor name \u009c far wider than any cell of the grid"), none, false);
        row("two lines", QStringLiteral("first\nsecond"), none, false);
        row("wrapped", value, view([](QTableView &v) { v.setWordWrap(true); }), false);
        row("empty", QString(), none, false);
        row("selected", value, view([](QTableView &v) { v.selectAll(); }), false);
        row("inactive window's colours", value, view(colourGroupsApart), true);
        row("disabled colours", value, view([](QTableView &v) {
                colourGroupsApart(v);
                v.setEnabled(false);
            }),
            true);
        // Shown in an active window with the focus in the table (its current cell, framed, is the style's).
        row("active window's colours", value, view([](QTableView &v) {
                colourGroupsApart(v);
                v.show();
                v.activateWindow();
                v.setFocus();
                QVERIFY(QTest::qWaitForWindowActive(&v));
                QTRY_VERIFY(v.hasFocus());
            }),
            true);
        row("alternating rows", value, view([](QTableView &v) { v.setAlternatingRowColors(true); }), true);
        // A style sheet may colour, pad or frame the text: such cells are the style's to paint.
        row("item colour from a style sheet", value, view([](QTableView &v) {
                v.setStyleSheet(QStringLiteral("QTableView::item { color: #c00000; }"));
            }),
            false);
        row("right to left", value, view([](QTableView &v) { v.setLayoutDirection(Qt::RightToLeft); }),
            false);
        row("low rows", value, view([](QTableView &v) {
                v.verticalHeader()->setMinimumSectionSize(4);
                v.verticalHeader()->setDefaultSectionSize(6);
            }),
            false);
        // What changes between paints is drawn as it is now: the elide mode, a column's width (texts change
        // in manyTexts; the bold cell's font differs from the kept layouts' at every paint).
        row("elide mode changed", wide, none, true,
            view([](QTableView &v) { v.setTextElideMode(Qt::ElideLeft); }));
        row("column widened", wide, none, true,
            view([](QTableView &v) { v.horizontalHeader()->resizeSection(1, 140); }));
    }
    void looksAsTheStylePaints() {
        QFETCH(QString, text);
        QFETCH(Setup, setup);
        QFETCH(bool, plain);
        QFETCH(Setup, change);
        // One after the other: a table shown in an active window makes the one shown before it inactive.
        Table style(text, setup, false);
        const QImage expected = style.image();
        Table ours(text, setup, true);
        const QImage got = ours.image();
        QVERIFY2(got == expected, qPrintable(firstDifference(got, expected)));
        if (plain)
            QVERIFY(ours.delegate->plainPaints() > 0);
        else
            QCOMPARE(ours.delegate->plainPaints(), 0);

        // Painted again, the kept layouts are drawn, and the picture is still the style's.
        const qint64 reused = ours.delegate->keptLayoutsUsed();
        QVERIFY2(ours.image() == expected, "second paint");
        if (plain)
            QVERIFY(ours.delegate->keptLayoutsUsed() > reused);
        if (change) {
            change(style.model, style.view);
            change(ours.model, ours.view);
            QVERIFY2(ours.image() == style.image(), "changed");
        }
    }

    // The kept layouts are bounded: many more distinct texts than are kept still paint right.
    void manyTexts() {
        Table style(QString(), Setup(), false), ours(QString(), Setup(), true);
        for (int round = 0; round < 3; ++round) {
            for (int n = 0; n < CellDelegate::KeptLayouts; n += 9) {
                for (Table *t : {&style, &ours})
                    for (int k = 0; k < 9; ++k)
                        t->model.item(k / 3, k % 3)->setText(QString::number(n + k + round * 7));
                if (n % 450 == 0)
                    QCOMPARE(ours.image(), style.image());
                else
                    ours.image();
            }
        }
        QVERIFY(ours.delegate->plainPaints() > CellDelegate::KeptLayouts);
    }
};

ZARARE_TEST(CellDelegateTest)
#include "CellDelegateTest.moc"
