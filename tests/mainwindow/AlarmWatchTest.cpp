#include "mainwindow/AlarmWatch.h"
#include "TestRegistry.h"

#include <QTest>

#include <utility>

// The tray's view of the critical cells, with an injected clock.
class AlarmWatchTest : public QObject {
    Q_OBJECT
    FlexGrid grid;
    TrayIcon tray;
    NotifyIconData data;
    qint64 now = 0;
    std::unique_ptr<AlarmWatch> watch;
    QStringList told; // the notifications of the last check

    // Each (row, value) in turn into the CPU Temp cell of host-<row>.
    void set(std::initializer_list<std::pair<int, const char *>> cells) {
        for (const auto &[row, value] : cells) {
            if (grid.Rows() <= row)
                grid.setRows(row + 1);
            grid.setTextAt(row, 0, QStringLiteral("host-%1").arg(row));
            grid.setTextAt(row, 3, QStringLiteral(" CPU Temp"));
            grid.copyTextAt(row, 4, QString::fromLatin1(value));
            grid.setUnitAt(row, 4, u"C");
        }
    }
    QStringList check() {
        told.clear();
        watch->check();
        return told;
    }
    static RuleSet rules() {
        RuleSet r;
        r.thresholds.push_back({QStringLiteral("CPU*"), {Bounds::None, 85, Bounds::None, 5}});
        return r;
    }

private slots:
    void init() {
        grid.setRows(1);
        grid.setRules(rules());
        data = {};
        data.szTip = NotifyIconData::tipField(QStringLiteral("Zar-Are on X"));
        tray.add(data);
        watch = std::make_unique<AlarmWatch>(grid, tray, data, [] { return QStringLiteral("Zar-Are on X"); });
        watch->setClock([this] { return now; });
        connect(watch.get(), &AlarmWatch::notified, this, [this](const QString &text) { told << text; });
    }
    void cleanup() { tray.remove(); }

    void worstCellAndBadge() {
        // 2 is below the low bound by less than 97 is above 85.
        set({{1, " 90.0 "}, {2, " 97.0 "}, {3, " 2.0 "}, {4, " 50.0 "}});
        QCOMPARE(check(),
                 QStringList{"host-1 CPU Temp 90.0 C\nhost-2 CPU Temp 97.0 C\nhost-3 CPU Temp 2.0 C"});
        QCOMPARE(tray.toolTip(), QStringLiteral("Zar-Are on X - 3 critical: host-2 CPU Temp 97.0 C"));
        QVERIFY(!data.hIcon.isNull());                    // the badge drawn over the record's (empty) icon
        set({{2, " 60.0 "}, {1, " n/a "}, {3, " 5.0 "}}); // at the bound is not beyond it
        QCOMPARE(check(), QStringList());
        QCOMPARE(tray.toolTip(), QStringLiteral("Zar-Are on X"));
        QVERIFY(data.hIcon.isNull()); // the plain icon back
    }

    // New rules work every level out again; a cell that stays critical is not news, nor is a renamed
    // cell that stays critical, but one whose new name has no bound leaves the count.
    void rulesChangeAndRenames() {
        set({{1, " 90.0 "}, {2, " 99.0 "}});
        check();
        now += 2 * AlarmWatch::RenotifyMs; // news would be told again by now
        grid.setRules(rules());
        grid.setTextAt(1, 3, QStringLiteral(" CPU Core"));
        grid.setTextAt(2, 3, QStringLiteral(" Case Temp"));
        QCOMPARE(check(), QStringList());
        QCOMPARE(tray.toolTip(), QStringLiteral("Zar-Are on X - 1 critical: host-1 CPU Core 90.0 C"));
    }

    void oneNotificationAMinutePerCell() {
        set({{1, " 90.0 "}});
        QCOMPARE(check().size(), 1);
        set({{1, " 50.0 "}, {1, " 91.0 "}}); // out and back in within the minute: no second notification
        QCOMPARE(check(), QStringList());
        now += AlarmWatch::RenotifyMs;
        set({{1, " 50.0 "}, {1, " 92.0 "}});
        QCOMPARE(check(), QStringList{"host-1 CPU Temp 92.0 C"});
        set({{1, " 50.0 "}, {1, " 93.0 "}, {1, " 50.0 "}}); // in and out between two checks: nothing to tell
        now += AlarmWatch::RenotifyMs;
        QCOMPARE(check(), QStringList());
    }

    // More than the grid remembers between two checks: all are counted.
    void manyAtOnceAreSummedUp() {
        const int rows = FlexGrid::MaxEntered + 44;
        for (int row = 1; row <= rows; ++row)
            set({{row, " 99.0 "}});
        const QString text = check().value(0);
        QCOMPARE(text.count(QLatin1Char('\n')), AlarmWatch::NotificationsPerCheck);
        QCOMPARE(text.section(QLatin1Char('\n'), -1),
                 QStringLiteral("and %1 more").arg(rows - AlarmWatch::NotificationsPerCheck));
        QCOMPARE(grid.criticalCount(), rows);
        // Rows dropped by a reset are no longer counted.
        grid.setRows(1);
        QCOMPARE(grid.criticalCount(), 0);
    }
};

ZARARE_TEST(AlarmWatchTest)
#include "AlarmWatchTest.moc"
