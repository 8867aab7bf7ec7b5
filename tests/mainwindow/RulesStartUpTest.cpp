#include "TestRegistry.h"
#include "WindowTesting.h"
#include "mainwindow/AlarmWatch.h"
#include "mainwindow/MainForm.h"
#include "mainwindow/RulesDialog.h"
#include "rules/RulesFile.h"
#include "sensorview/SensorView.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <memory>

using namespace WindowTesting;

const QByteArray reading = "<13>Sep  9 20:04:58 render-07 sensor[CPU Temp]: Temp=45.0 C";

// From the rules file and real datagrams over loopback to the window: the stale time and bounds in the
// grid, the tray, the allow list, the Rules dialog and the remembered view.
class RulesStartUpTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<MainForm> form;
    quint16 port = 0;
    qint64 offset = 0; // added to the grid's clock

    // A fresh folder with the settings file on a free port and the given rules file; the window loaded.
    void start(const QString &rules) {
        dir = std::make_unique<QTemporaryDir>();
        SettingsFile::setFolderForTesting(dir->path());
        writeSettings(record(port = freePort()));
        if (!rules.isNull())
            QVERIFY(RulesFile::write(MainForm::rulesPath(), rules, nullptr));
        form = std::make_unique<MainForm>();
        form->Form_Load();
    }

private slots:
    void cleanup() {
        form.reset();
        takeMessages();
    }

    // The rules file at start-up: a bad line told, the bounds and the stale time in the grid.
    void datagramToStaleCell() {
        start(QStringLiteral("stale 2m\nCPU* hot 9\nCPU* warn 40 crit 44\n"));
        form->grid.setClock([this] {
            QElapsedTimer t;
            t.start();
            return t.msecsSinceReference() + offset;
        });
        checkMessages({QStringLiteral("Zar-Are.rules were skipped:\nline 2: ")});

        send(port, reading);
        QTRY_COMPARE(form->grid.textAt(1, 4), QStringLiteral(" 45.0 "));
        // The tray names the worst cell: the file's bounds reached the grid, and the grid the tray.
        form->alarms->check();
        QCOMPARE(form->tray.toolTip(),
                 form->windowTitle() + QStringLiteral(" - 1 critical: render-07 CPU Temp 45.0 C"));
        // Grey only after the file's two minutes, not the default one.
        const QModelIndex value = form->grid.index(0, 3);
        offset = 90000;
        QVERIFY(!form->grid.data(value, Qt::ForegroundRole).isValid());
        offset = 150000;
        QVERIFY(form->grid.data(value, Qt::ForegroundRole).isValid());
    }

    // The allow lines of the rules file reach the reception: one reading from 127.0.0.1 shown or kept out.
    void allowList_data() {
        QTest::addColumn<QString>("rules");
        QTest::addColumn<bool>("shown");
        QTest::newRow("no file") << QString() << true;
        QTest::newRow("another network") << "allow 192.0.2.0/24\n" << false;
        QTest::newRow("several on a line") << "allow 192.0.2.0/24 127.0.0.0/8 # both\n" << true;
        QTest::newRow("a bad allow line lets everyone in") << "allow 300.1.2.3\n" << true;
    }
    void allowList() {
        QFETCH(QString, rules);
        QFETCH(bool, shown);
        start(rules);
        send(port, reading);
        QTRY_COMPARE(form->reception.statistics().accepted + form->reception.statistics().rejected,
                     quint64(1));
        QCOMPARE(form->reception.statistics().rejected, quint64(!shown));
        QCOMPARE(form->grid.Rows() > 1 ? form->grid.textAt(1, 4) : QString(), shown ? " 45.0 " : QString());
        QTRY_COMPARE(form->PacketsReceived->text(), QString::number(shown));
    }

    // Save checks every line first: a mistake is named and nothing is written; good rules are written
    // in one step and take effect at once.
    void dialogChecksThenApplies() {
        const QString before = QStringLiteral("# mine\nstale 90s\n");
        start(before);
        send(port, reading);
        QTRY_COMPARE(form->grid.textAt(1, 4), QStringLiteral(" 45.0 "));
        form->RulesMenu->trigger();
        RulesDialog *dialog = form->rulesDialog;
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->RulesText->toPlainText(), before);

        dialog->RulesText->setPlainText(QStringLiteral("CPU* crit 44\nallow 10.0.0.0/33\nCPU* crit\n"));
        QVERIFY(!dialog->save());
        QVERIFY(dialog->RulesProblem->text().contains(QRegularExpression("(?s)line 2.*line 3")));
        QCOMPARE(fileBytes(MainForm::rulesPath()), before.toUtf8());
        QCOMPARE(form->grid.alarmAt(1, 4), AlarmLevel::None);

        // Good lines beyond what the file may hold are not written: read back, the end would be lost.
        const QString comment = QStringLiteral("# %1\n").arg(QString(60, QLatin1Char('x')));
        dialog->RulesText->setPlainText(comment.repeated(RulesFile::MaxBytes / comment.size() + 1));
        QVERIFY(!dialog->save());
        QVERIFY(dialog->RulesProblem->text().contains(
            QStringLiteral("at most %1 KiB").arg(RulesFile::MaxBytes / 1024)));
        QCOMPARE(fileBytes(MainForm::rulesPath()), before.toUtf8());

        // The file changed behind the dialog (the view keeps its choices there): nothing is written.
        QVERIFY(RulesFile::write(MainForm::rulesPath(), before + QStringLiteral("hide X\n"), nullptr));
        const QString good = QStringLiteral("# mine\nCPU* crit 44\nview by-sensor\n");
        dialog->RulesText->setPlainText(good);
        QVERIFY(!dialog->save());
        QVERIFY(dialog->RulesProblem->text().contains(QStringLiteral("changed since it was shown")));
        dialog->reload();
        dialog->RulesText->setPlainText(good);
        QVERIFY(dialog->save());
        QCOMPARE(fileBytes(MainForm::rulesPath()), good.toUtf8());
        QCOMPARE(form->grid.alarmAt(1, 4), AlarmLevel::Critical);

        // A file that cannot be read is never replaced from the dialog.
        QVERIFY(QFile::remove(MainForm::rulesPath()));
        QVERIFY(QDir().mkdir(MainForm::rulesPath()));
        dialog->reload();
        QVERIFY(!dialog->SaveButton->isEnabled());
        QVERIFY(dialog->RulesProblem->text().contains(QStringLiteral("could not be read")));
        QVERIFY(!dialog->save());
    }

    // The view's choices read from the rules file at start-up (the hidden sensor stays), and written
    // back beside the user's own lines.
    void viewChoicesRemembered() {
        start(QStringLiteral("# keep me\nCPU* warn 70\nhide \"Fan #1\"\n"));
        form->sensorView->showBySensor(true);
        QCOMPARE(fileBytes(MainForm::rulesPath()),
                 QByteArray("# keep me\nCPU* warn 70\nview by-sensor\nhide \"Fan #1\"\n"));

        // A folder that cannot be written: the user is told, and the view still changes.
        SettingsFile::setFolderForTesting(dir->path() + QStringLiteral("/gone"));
        form->sensorView->showBySensor(false);
        checkMessages({QStringLiteral("could not be saved")});
        QVERIFY(!form->sensorView->bySensorShown());
    }
};
ZARARE_TEST(RulesStartUpTest)
#include "RulesStartUpTest.moc"
