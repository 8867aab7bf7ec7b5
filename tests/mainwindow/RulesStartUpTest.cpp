#include "TestRegistry.h"
#include "WindowTesting.h"
#include "mainwindow/AlarmWatch.h"
#include "mainwindow/MainForm.h"
#include "mainwindow/RulesDialog.h"
#include "rules/RulesFile.h"
#include "sensorview/SensorView.h"
#include "settings/frmOptions.h"

#include <QBrush>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>

using namespace WindowTesting;

namespace {
QByteArray reading(const QByteArray &message) {
    return "<13>Sep  9 20:04:58 render-07 sensor[CPU Temp]: " + message;
}
QString fileText(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QStringLiteral("(missing)");
}
} // namespace

// From the rules file and real datagrams over loopback to the window: cell ages and stale colour,
// alarm colours, the tray, the allow list, the Rules dialog and the remembered view.
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
    void cleanupTestCase() { SettingsFile::setFolderForTesting(QString()); }

    void datagramToStaleCell() {
        start(QStringLiteral("stale 2m\nCPU* hot 9\nCPU* warn 40 crit 44\n"));
        form->grid.setClock([this] {
            QElapsedTimer t;
            t.start();
            return t.msecsSinceReference() + offset;
        });
        checkMessages({QStringLiteral("Zar-Are.rules were skipped:\nline 2: ")});

        send(port, reading("Temp=45.0 C"));
        QTRY_COMPARE(form->grid.textAt(1, 4), QStringLiteral(" 45.0 "));
        const QModelIndex value = form->grid.index(0, 3);
        QCOMPARE(form->grid.data(value, Qt::ToolTipRole).toString(), QStringLiteral("45.0 C, 0 s ago"));
        QVERIFY(!form->grid.data(value, Qt::ForegroundRole).isValid());
        QCOMPARE(form->grid.data(value, Qt::BackgroundRole).value<QBrush>().color(), QColor(255, 96, 96));

        // The tray names the worst cell and carries the badge; a notification was raised once.
        QSignalSpy notified(form->alarms, &AlarmWatch::notified);
        form->alarms->check();
        QCOMPARE(form->tray.toolTip(),
                 form->windowTitle() + QStringLiteral(" - 1 critical: render-07 CPU Temp 45.0 C"));
        QCOMPARE(notified.size(), 1);
        QCOMPARE(notified.at(0).at(0).toString(), QStringLiteral("render-07 CPU Temp 45.0 C"));

        offset = 150000; // past the file's two minutes
        QVERIFY(form->grid.data(value, Qt::ForegroundRole).isValid());
        QCOMPARE(form->grid.headerData(0, Qt::Vertical, Qt::ToolTipRole).toString(),
                 QStringLiteral("silent for 2 min 30 s"));

        // Back to normal: the badge and the count go.
        send(port, reading("Temp=30.0 C"));
        QTRY_COMPARE(form->grid.textAt(1, 4), QStringLiteral(" 30.0 "));
        form->alarms->check();
        QCOMPARE(form->tray.toolTip(), form->windowTitle().left(NotifyIconData::TipChars - 1));
    }

    // What the rules file's lines do to one reading from 127.0.0.1.
    void rulesApplied_data() {
        QTest::addColumn<QString>("rules");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QString>("value"); // the cell, or empty when the datagram was kept out
        QTest::addColumn<int>("level");
        // clang-format off
        QTest::newRow("no file") << QString() << QByteArray("Temp=45.0 C") << " 45.0 " << 0;
        QTest::newRow("allow another network") << "allow 192.0.2.0/24\n" << QByteArray("Temp=45.0 C") << "" << 0;
        QTest::newRow("allow loopback") << "allow 127.0.0.1\n" << QByteArray("Temp=45.0 C") << " 45.0 " << 0;
        QTest::newRow("allow several on a line") << "allow 192.0.2.0/24 127.0.0.0/8 # both\n" << QByteArray("Temp=45.0 C") << " 45.0 " << 0;
        QTest::newRow("a bad allow line lets everyone in") << "allow 300.1.2.3\n" << QByteArray("Temp=45.0 C") << " 45.0 " << 0;
        QTest::newRow("warning") << "cpu* warn 40\n" << QByteArray("Temp=45.0 C") << " 45.0 " << 1;
        QTest::newRow("at the bound is no alarm") << "CPU* warn 45\n" << QByteArray("Temp=45.0") << " 45.0 " << 0;
        QTest::newRow("low critical") << "CPU* low-crit 50\n" << QByteArray("Temp=45,0 C") << " 45,0 " << 2;
        QTest::newRow("not a number never alarms") << "CPU* crit 1\n" << QByteArray("Temp=hot") << " hot " << 0;
        QTest::newRow("first matching rule wins") << "CPU Temp warn 40\nCPU* crit 1\n" << QByteArray("Temp=45.0") << " 45.0 " << 1;
        // clang-format on
    }
    void rulesApplied() {
        QFETCH(QString, rules);
        QFETCH(QByteArray, message);
        QFETCH(QString, value);
        QFETCH(int, level);
        start(rules);
        send(port, reading(message));
        QTRY_COMPARE(form->reception.statistics().accepted + form->reception.statistics().rejected,
                     quint64(1));
        QCOMPARE(form->reception.statistics().rejected, quint64(value.isEmpty()));
        QCOMPARE(form->grid.Rows() > 1 ? form->grid.textAt(1, 4) : QString(), value);
        if (!value.isEmpty())
            QCOMPARE(int(form->grid.alarmAt(1, 4)), level);
        QTRY_COMPARE(form->PacketsReceived->text(),
                     value.isEmpty() ? QStringLiteral("0") : QStringLiteral("1"));
    }

    // Save checks every line first: a mistake is named and nothing is written; good rules are written
    // in one step and take effect at once.
    void dialogChecksThenApplies() {
        const QString before = QStringLiteral("# mine\nstale 90s\n");
        start(before);
        send(port, reading("Temp=45.0 C"));
        QTRY_COMPARE(form->grid.textAt(1, 4), QStringLiteral(" 45.0 "));
        form->RulesMenu->trigger();
        RulesDialog *dialog = form->rulesDialog;
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->RulesText->toPlainText(), before);

        dialog->RulesText->setPlainText(QStringLiteral("stale 90s\nallow 10.0.0.0/33\nCPU* crit\n"));
        QVERIFY(!dialog->save());
        QVERIFY(dialog->RulesProblem->text().contains(QRegularExpression("(?s)line 2.*line 3")));
        QCOMPARE(fileText(MainForm::rulesPath()), before);
        QCOMPARE(form->grid.alarmAt(1, 4), AlarmLevel::None);

        // The file changed behind the dialog (the view keeps its choices there): nothing is written.
        QVERIFY(RulesFile::write(MainForm::rulesPath(), before + QStringLiteral("hide X\n"), nullptr));
        const QString good = QStringLiteral("# mine\nCPU* crit 44\nview by-sensor\n");
        dialog->RulesText->setPlainText(good);
        QVERIFY(!dialog->save());
        QVERIFY(dialog->RulesProblem->text().contains(QStringLiteral("changed since it was shown")));
        dialog->reload();
        dialog->RulesText->setPlainText(good);
        QVERIFY(dialog->save());
        QCOMPARE(fileText(MainForm::rulesPath()), good);
        QCOMPARE(form->grid.alarmAt(1, 4), AlarmLevel::Critical);
        QVERIFY(form->sensorView->bySensorShown());

        // A file that cannot be read is never replaced from the dialog.
        QVERIFY(QFile::remove(MainForm::rulesPath()));
        QVERIFY(QDir().mkdir(MainForm::rulesPath()));
        dialog->reload();
        QVERIFY(!dialog->SaveButton->isEnabled());
        QVERIFY(dialog->RulesProblem->text().contains(QStringLiteral("could not be read")));
        QVERIFY(!dialog->save());
        QVERIFY(QFileInfo(MainForm::rulesPath()).isDir());
    }

    // The view's choices go into the rules file beside the user's own lines, and come back at the
    // next start.
    void viewChoicesRemembered() {
        start(QStringLiteral("# keep me\nCPU* warn 70\nhide \"Fan #1\"\n"));
        QCOMPARE(form->sensorView->prefs().hide, QStringList{QStringLiteral("Fan #1")});
        form->sensorView->showBySensor(true);
        QCOMPARE(fileText(MainForm::rulesPath()),
                 QStringLiteral("# keep me\nCPU* warn 70\nview by-sensor\nhide \"Fan #1\"\n"));
        form.reset();
        form = std::make_unique<MainForm>(); // the same folder
        form->Form_Load();
        QVERIFY(form->sensorView->bySensorShown());
        checkMessages({});

        // A folder that cannot be written: the user is told, and the view still changes.
        SettingsFile::setFolderForTesting(dir->path() + QStringLiteral("/gone"));
        form->sensorView->showBySensor(false);
        checkMessages({QStringLiteral("could not be saved")});
        QVERIFY(!form->sensorView->bySensorShown());
    }
};
ZARARE_TEST(RulesStartUpTest)
#include "RulesStartUpTest.moc"
