#include "mainwindow/StatisticsWindow.h"
#include "TestRegistry.h"
#include "mainwindow/MainForm.h"
#include "settings/SettingsFile.h"

#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

class StatisticsWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void initTestCase() { SettingsFile::setFolderForTesting(dir.path()); }

    void texts_data() {
        QTest::addColumn<qint64>("drops");
        QTest::addColumn<int>("buffer");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("Linux") << qint64(12) << 8388608
                               << QStringList{"1234567", "3", "42", "12", "8388608 bytes"};
        QTest::newRow("drops not reported")
            << qint64(-1) << 212992 << QStringList{"1234567", "3", "42", "not available", "212992 bytes"};
        QTest::newRow("not bound") << qint64(-1) << 0
                                   << QStringList{"1234567", "3", "42", "not available", "not available"};
    }
    void texts() {
        QFETCH(qint64, drops);
        QFETCH(int, buffer);
        DatagramReception::Statistics s;
        s.accepted = 1234567;
        s.rejected = 3;
        s.notUnderstood = 42;
        s.kernelDrops = drops;
        s.bufferBytes = buffer;
        const auto values = StatisticsText::values(s);
        QTEST(QStringList(values.begin(), values.end()), "texts");
    }

    // The menu item follows Options; the window it opens follows the counts while shown, once a second.
    void menuOpensARefreshingWindow() {
        MainForm form;
        const QList<QAction *> tools = form.ToolsMenu->actions();
        QCOMPARE(tools.size(), 3); // Options, Statistics..., Rules...
        QCOMPARE(tools.at(0), form.OptionsMenu);
        QCOMPARE(tools.at(1)->text(), QStringLiteral("Statistics..."));
        QVERIFY(form.DudUDP.bindPort(0));
        form.StatisticsMenu->trigger();
        QVERIFY(form.statistics && form.statistics->isVisible() && !form.statistics->isModal());
        QCOMPARE(form.statistics->valueText(0), QStringLiteral("0"));
        form.reception.processDatagram("<13>Sep  9 20:04:58 H s[a]: v=1");
        form.reception.processDatagram("<13>Sep  9 20:04:58 H no tag");
        QTRY_COMPARE_WITH_TIMEOUT(form.statistics->valueText(0), QStringLiteral("2"), 2500);
        QCOMPARE(form.statistics->valueText(2), QStringLiteral("1"));
        QVERIFY(form.statistics->valueText(4).endsWith(QStringLiteral(" bytes")));
        form.close();
        QVERIFY(!form.statistics->isVisible());
    }
};
ZARARE_TEST(StatisticsWindowTest)
#include "StatisticsWindowTest.moc"
