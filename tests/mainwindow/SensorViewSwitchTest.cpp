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

// The "By Sensor" view inside the main window: what it exports and copies.
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

    // Export and Copy take what the view shows, in its column order: hidden sensors and filtered hosts
    // left out, names quoted as CSV fields; a file that cannot be written is told.
    void exportsAndCopies() {
        MainForm form;
        load(form);
        SensorView *view = form.sensorView;
        view->setPrefs({true, {QStringLiteral("cpu*")}, {}}); // by sensor, CPU sensors hidden
        view->filterBox()->setText(QStringLiteral("b"));
        feed(form, {"b,c|CPU 1|4", "a|T|1", "b,c|T|2", "b,c|U|3"});
        QTableView *table = view->table();
        table->horizontalHeader()->moveSection(3, 0); // U dragged to the front
        const QString path = dir.filePath(QStringLiteral("out.csv"));
        QString error;
        QVERIFY2(view->exportCsv(path, &error), qPrintable(error));
        QCOMPARE(fileBytes(path), QByteArray("Host,U [C],Last reading [s],T [C]\r\n\"b,c\",3,,2\r\n"));
        QVERIFY(!view->exportCsv(dir.filePath(QStringLiteral("no/such/folder/out.csv")), &error));
        QVERIFY(error.contains(QLatin1String("Cannot write")));

        table->selectionModel()->select(
            QItemSelection(table->model()->index(0, 1), table->model()->index(0, 3)),
            QItemSelectionModel::Select);
        view->CopyMenu->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("3\t2\n"));
    }

    // A window destroyed while shown hides itself, and so its views, before its grid goes: hiding the
    // By Sensor view lays out its host column, which reads the grid's host names.
    void shownWindowIsHiddenBeforeItsGridGoes() {
        auto *form = new MainForm;
        load(*form, true);
        form->sensorView->showBySensor(true);
        feed(*form, {"a|T|1", "b|U|2"});
        QVERIFY(QTest::qWaitForWindowExposed(form));
        QVERIFY(form->sensorView->table()->isVisible());
        bool shownAtGridEnd = true;
        connect(&form->grid, &QObject::destroyed, this, [&] { shownAtGridEnd = form->isVisible(); });
        delete form;
        QVERIFY(!shownAtGridEnd);
    }
};
ZARARE_TEST(SensorViewSwitchTest)
#include "SensorViewSwitchTest.moc"
