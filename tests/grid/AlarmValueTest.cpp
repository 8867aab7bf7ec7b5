#include "TestRegistry.h"
#include "grid/FlexGrid.h"

#include <QTest>

// Which value texts are numbers, and how they meet the bounds warn 10, crit 20, low-crit -5.
class AlarmValueTest : public QObject {
    Q_OBJECT
private slots:
    void levelOfText_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("level"); // 0 none, 1 warning, 2 critical
        const std::pair<const char *, int> rows[] = {
            {" 5 ", 0},
            {" 15 ", 1},
            {" 25 ", 2},
            {" 20 ", 1},
            {" 20.0001 ", 2},
            {" 19,5 ", 1},
            {" +21 ", 2},
            {" -6 ", 2},
            {" -5 ", 0},
            {" 1e2 ", 2},
            {" 1.5e1 ", 1},
            {" 20.00000000000000001 ", 1},
            {" 123456789012345678 ", 2},
            {" inf ", 0},
            {" nan ", 0},
            {" --5 ", 0},
            {" 1,2.5 ", 0},
            {" . ", 0},
            {" - ", 0},
            {"", 0},
            {" hot ", 0},
            {" 12abc ", 0},
            {" 0x20 ", 0},
        };
        for (const auto &[value, level] : rows)
            QTest::newRow(value) << QString::fromLatin1(value) << level;
    }
    void levelOfText() {
        QFETCH(QString, value);
        FlexGrid g;
        RuleSet rules;
        rules.thresholds.push_back({QStringLiteral("T*"), {}});
        rules.thresholds.back().bounds.warn = 10;
        rules.thresholds.back().bounds.crit = 20;
        rules.thresholds.back().bounds.lowCrit = -5;
        g.setRules(rules);
        g.setRows(2);
        g.setTextAt(1, 3, QStringLiteral(" Temp"));
        g.copyTextAt(1, 4, value);
        QTEST(int(g.alarmAt(1, 4)), "level");
        QCOMPARE(g.criticalCount(), int(g.alarmAt(1, 4)) == 2 ? 1 : 0);
    }
};

ZARARE_TEST(AlarmValueTest)
#include "AlarmValueTest.moc"
