#include "TestRegistry.h"
#include "WindowTesting.h"
#include "mainwindow/MainForm.h"
#include "sensorview/SensorTableModel.h"
#include "sensorview/SensorView.h"
#include "settings/SettingsFile.h"
#include "settings/frmOptions.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace WindowTesting;

// The "By Sensor" view inside the main window: what it exports and copies, and the hosts it hides.
class SensorViewSwitchTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    static void feed(MainForm &form, const QStringList &readings) { // "host|sensor|value"
        for (const QString &r : readings) {
            const QStringList f = r.split(QLatin1Char('|'));
            form.reception.processDatagram(QStringLiteral("<13>Sep  9 20:04:58 %1 sensor[%2]: Temp=%3 C")
                                               .arg(f[0], f[1], f[2])
                                               .toUtf8());
        }
        form.sensorView->model()->refreshNow();
    }

private slots:
    void initTestCase() { SettingsFile::setFolderForTesting(dir.path()); }
    void cleanup() { frmOptions::unload(); }

    void exports_data() {
        QTest::addColumn<QStringList>("readings");
        QTest::addColumn<QStringList>("hide");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<bool>("moveLast"); // the last column dragged to the front
        QTest::addColumn<QByteArray>("csv");
        // clang-format off
        QTest::newRow("quotes, commas and line breaks in names")
            << QStringList{"pc|Fan \"top\"|900", "pc|a,b|1", "p,c|two\nlines|2"} << QStringList() << "" << false
            << QByteArray("Host,Last reading [s],\"Fan \"\"top\"\" [C]\",\"a,b [C]\",\"two\nlines [C]\"\r\npc,,900,1,\r\n\"p,c\",,,,2\r\n");
        QTest::newRow("hidden columns") << QStringList{"h|CPU 1|40", "h|Fan|900", "h|CPU 2|41"} << QStringList{"cpu*"} << "" << false
                                        << QByteArray("Host,Last reading [s],Fan [C]\r\nh,,900\r\n");
        QTest::newRow("view order and filter") << QStringList{"a|T|1", "b|T|2", "b|U|3"} << QStringList() << "b" << true
                                               << QByteArray("Host,U [C],Last reading [s],T [C]\r\nb,3,,2\r\n");
        // clang-format on
    }
    void exports() {
        QFETCH(QStringList, readings);
        QFETCH(QStringList, hide);
        QFETCH(QString, filter);
        QFETCH(bool, moveLast);
        MainForm form;
        load(form);
        SensorView *view = form.sensorView;
        view->model()->setClock([] { return qint64(0); });
        SensorViewPrefs prefs;
        prefs.bySensor = true;
        prefs.hide = hide;
        view->setPrefs(prefs);
        view->filterBox()->setText(filter);
        feed(form, readings);
        if (QHeaderView *header = view->table()->horizontalHeader(); moveLast)
            header->moveSection(header->count() - 1, 0);
        const QString path = dir.filePath(QStringLiteral("out.csv"));
        QString error;
        QVERIFY2(view->exportCsv(path, &error), qPrintable(error));
        QFile written(path);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QTEST(written.readAll(), "csv");
        QVERIFY(!view->exportCsv(dir.filePath(QStringLiteral("no/such/folder/out.csv")), &error));
        QVERIFY(error.contains(QLatin1String("Cannot write")));
    }

    void copiesAndHidesHosts() {
        MainForm form;
        load(form);
        SensorView *view = form.sensorView;
        view->showBySensor(true);
        feed(form, {"a|T|1", "a|U|2", "b|T|3", "c|U|4"});
        QTableView *table = view->table();
        table->selectionModel()->select(
            QItemSelection(table->model()->index(0, 1), table->model()->index(1, 2)),
            QItemSelectionModel::Select);
        view->CopyMenu->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("1\t2\n3\t\n"));

        view->hideHost(1);
        QCOMPARE(table->model()->rowCount(), 2);
        QCOMPARE(form.grid.rowCount(), 3); // the readings grid keeps every host
    }
};
ZARARE_TEST(SensorViewSwitchTest)
#include "SensorViewSwitchTest.moc"
