#include "TestRegistry.h"
#include "grid/FlexGrid.h"

#include <QTest>

// Which value texts are numbers, and how they meet the bounds warn 10, crit 20, low-crit -5 of sensors
// named T*; the level shows as the cell's background.
class AlarmValueTest : public QObject {
    Q_OBJECT
private slots:
    void levelOfText_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("col"); // of the value; the name is before it
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("level"); // 0 none, 1 warning, 2 critical
        const std::pair<const char *, int> rows[] = {
            {" 5 ", 0},   {" 15 ", 1},    {" 25 ", 2},    {" 20 ", 1},  {" 20.0001 ", 2}, {" 19,5 ", 1},
            {" +21 ", 2}, {" -6 ", 2},    {" -5 ", 0},    {" 1e2 ", 2}, {" 1.5e1 ", 1},   {" inf ", 0},
            {" nan ", 0}, {" --5 ", 0},   {" 1,2.5 ", 0}, {" . ", 0},   {" - ", 0},       {"", 0},
            {" hot ", 0}, {" 12abc ", 0}, {" 0x20 ", 0}};
        for (const auto &[value, level] : rows)
            QTest::newRow(value) << " Temp" << 4 << QString::fromLatin1(value) << level;
        QTest::newRow("beyond a double's digits") << " Temp" << 4 << " 20.00000000000000001 " << 1;
        QTest::newRow("more digits than a double") << " Temp" << 4 << " 123456789012345678 " << 2;
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
        if (col == 4)
            g.copyTextAt(1, col, value);
        else
            g.setTextAt(1, col, value); // either write reckons the level
        QCOMPARE(int(g.alarmAt(1, col)), level);
        QCOMPARE(g.criticalCount(), level == 2 ? 1 : 0);
        QCOMPARE(g.data(g.index(0, col - 1), Qt::BackgroundRole).isValid(), level != 0);
        // New rules take effect at once: the cached match is dropped.
        g.setRules(RuleSet());
        QCOMPARE(int(g.alarmAt(1, col)), 0);
    }
};

ZARARE_TEST(AlarmValueTest)
#include "AlarmValueTest.moc"
