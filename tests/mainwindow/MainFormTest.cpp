#include "mainwindow/MainForm.h"
#include "TestRegistry.h"
#include "WindowTesting.h"
#include "about/frmAbout.h"
#include "desktop/LoadedForms.h"
#include "geometry/Twips.h"
#include "geometry/WindowGeometry.h"
#include "mainwindow/StatisticsWindow.h"
#include "settings/frmOptions.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>

using namespace WindowTesting;

namespace {
// The grid fills the window less the allowances, and has no height left below them.
void checkLayout(const MainForm &form) {
    QCOMPARE(form.gridWidth(), WindowGeometry::width(&form) - MainForm::GridWidthAllowance);
    QCOMPARE(form.gridHeight(),
             std::max(0.0f, WindowGeometry::height(&form) - MainForm::GridHeightAllowance));
}
// The Options dialog's geometry boxes hold the window's geometry, and the dialog was not shown for it.
void checkCaptured(const MainForm &form) {
    const frmOptions *o = frmOptions::ref();
    QCOMPARE((QList<float>{o->readheight->text().toFloat(), o->readwidth->text().toFloat(),
                           o->readtop->text().toFloat(), o->readleft->text().toFloat()}),
             (QList<float>{WindowGeometry::height(&form), WindowGeometry::width(&form),
                           WindowGeometry::top(&form), WindowGeometry::left(&form)}));
    QVERIFY(!o->isVisible());
}
} // namespace

// The main window without a notification area (as offscreen): start-up from the settings file, the
// Options dialog and Save, the size limits, the counters, the statistics, the tray icon's record and the
// mouse, and shutdown.
class MainFormTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void initTestCase() { SettingsFile::setFolderForTesting(dir.path()); }
    void cleanup() {
        takeMessages();
        frmOptions::unload();
        QFile::remove(SettingsFile::path());
    }

    // The settings file at start-up: the port, the size held within the limits and the desktop, and a
    // place that no screen shows left at the design place. A damaged file is told at start-up and at each
    // Options command and left as it is, with the defaults used. Options reads a stored port back into the
    // box over an edit, and leaves the edit otherwise.
    void startUp_data() {
        QTest::addColumn<QByteArray>("bytes"); // $PORT a free port, $BUSY a taken one; null: no file
        QTest::addColumn<QSizeF>("size");      // width and height; 0: the design size, -1: the desktop's
        QTest::addColumn<int>("place"); // 0 the stored one, 1 the design place, 2 somewhere on the desktop
        QTest::addColumn<QStringList>("told"); // $FILE the settings file's path; $PORT the port
        // clang-format off
        QTest::newRow("as stored") << QByteArray("$PORT,2985,7815,1200,900") << QSizeF(7815, 2985) << 0 << QStringList();
        QTest::newRow("low and narrow: raised to the minimum") << QByteArray("$PORT,500,3000,1200,900\r\n") << QSizeF(5000, 1000) << 0 << QStringList();
        QTest::newRow("far left and up") << QByteArray("$PORT,2985,7815,-900000,-900000") << QSizeF(7815, 2985) << 1 << QStringList();
        QTest::newRow("huge values") << QByteArray("$PORT,1E+38,1E+38,-1E+38,-1E+38") << QSizeF(-1, -1) << 2 << QStringList();
        QTest::newRow("busy port: told, the window lives") << QByteArray("$BUSY,2985,7815,1200,900") << QSizeF(7815, 2985) << 0 << QStringList{"Zar-Are: Port $PORT could not be opened"};
        QTest::newRow("no file") << QByteArray() << QSizeF(0, 0) << 1 << QStringList();
        QTest::newRow("fewer fields") << QByteArray("6000,2985") << QSizeF(0, 0) << 1 << QStringList{"$FILE", "default"};
        // clang-format on
    }
    void startUp() {
        QFETCH(QByteArray, bytes);
        QFETCH(QSizeF, size);
        QFETCH(int, place);
        QFETCH(QStringList, told);
        const QRect design = MainForm().frameGeometry();
        QUdpSocket busy;
        QVERIFY(busy.bind(QHostAddress::AnyIPv4, 0));
        const QString port = QString::number(bytes.startsWith("$BUSY") ? busy.localPort() : freePort());
        const bool damaged = told.contains("$FILE"), complete = !bytes.isNull() && !damaged; // stored: $PORT
        if (complete)
            bytes.replace(0, 5, port.toLatin1());
        if (!bytes.isNull())
            writeSettings(bytes);
        MainForm form;
        form.Form_Load();
        const QRect desktop = QGuiApplication::primaryScreen()->availableVirtualGeometry();
        if (place == 2)
            form.show(); // brought down to the desktop, and onto it
        if (size.isNull())
            QCOMPARE(form.size(), design.size());
        else
            QCOMPARE(QSizeF(WindowGeometry::width(&form), WindowGeometry::height(&form)),
                     size.width() < 0 ? QSizeF(Twips::fromPixelsX(desktop.width(), &form),
                                               Twips::fromPixelsY(desktop.height(), &form))
                                      : size);
        if (place == 0)
            QCOMPARE(QPointF(WindowGeometry::top(&form), WindowGeometry::left(&form)), QPointF(1200, 900));
        else if (place == 1)
            QCOMPARE(form.frameGeometry().topLeft(), design.topLeft());
        else
            QVERIFY(desktop.contains(form.frameGeometry().topLeft()));
        if (complete)
            checkLayout(form);
        QCOMPARE(QStringList(form.windowgeometry, form.windowgeometry + 4).join(','),
                 complete ? bytes.mid(bytes.indexOf(',') + 1).trimmed() : QByteArray(",,,"));
        frmOptions *options = frmOptions::ref();
        const QString boxPort = complete ? bytes.left(bytes.indexOf(',')) : QByteArray("514");
        QCOMPARE(options->portvalue->text(), boxPort);
        if (complete)
            QCOMPARE(form.DudUDP.localPort(), told.isEmpty() ? port.toUShort() : quint16(0));

        told.replaceInStrings("$FILE", SettingsFile::path()).replaceInStrings("$PORT", port);
        for (int command = 0; command < 2; ++command) { // start-up, then Options
            checkMessages(command == 0 || damaged ? told : QStringList());
            QCOMPARE(fileBytes(), bytes);
            form.OptionsMenu_Click();
        }
        options->portvalue->setText(QStringLiteral("7000"));
        form.OptionsMenu_Click();
        QCOMPARE(options->portvalue->text(), complete ? boxPort : QStringLiteral("7000"));
    }

    // Save with a port typed into the dialog: the socket moves and the record is written, the typed
    // geometry replaced by the window's own; when it cannot, the user is told and the dialog stays.
    void save_data() {
        QTest::addColumn<int>("fault"); // 0 none, 1 the typed port is busy, 2 the folder cannot be written
        QTest::addColumn<QStringList>("told"); // $NEW the typed port, $OLD the one before
        // clang-format off
        QTest::newRow("another port") << 0 << QStringList();
        QTest::newRow("busy port: the old one kept") << 1 << QStringList{"Port $NEW could not be opened", "Still listening on port $OLD"};
        QTest::newRow("unwritable folder: the new port used all the same") << 2 << QStringList{QDir::toNativeSeparators("no/such/folder")};
        // clang-format on
    }
    void save() {
        QFETCH(int, fault);
        QFETCH(QStringList, told);
        const quint16 port = freePort();
        writeSettings(record(port));
        MainForm form;
        form.Form_Load();
        form.show();
        form.OptionsMenu_Click();
        frmOptions *options = frmOptions::ref();
        QUdpSocket busy;
        QVERIFY(busy.bind(QHostAddress::AnyIPv4, 0));
        const quint16 newPort = fault == 1 ? busy.localPort() : freePort();
        options->portvalue->setText(QString::number(newPort));
        options->readheight->setText(QStringLiteral("1"));
        if (fault == 2)
            SettingsFile::setFolderForTesting(dir.filePath(QStringLiteral("no/such/folder")));
        QTest::mouseClick(options->cmdOK, Qt::LeftButton);
        SettingsFile::setFolderForTesting(dir.path());

        QCOMPARE(options->isVisible(), !told.isEmpty());
        told.replaceInStrings("$NEW", QString::number(newPort))
            .replaceInStrings("$OLD", QString::number(port));
        checkMessages(told);
        if (told.isEmpty())
            QCOMPARE(options->readheight->text().toFloat(), WindowGeometry::height(&form));
        const QStringList boxes{QString::number(newPort), options->readheight->text(),
                                options->readwidth->text(), options->readtop->text(),
                                options->readleft->text()};
        QCOMPARE(fileBytes(), told.isEmpty() ? boxes.join(',').toLatin1() + "\r\n" : record(port));
        const quint16 listening = fault == 1 ? port : newPort;
        QCOMPARE(form.DudUDP.localPort(), listening);
        send(listening, "<13>Sep  9 20:04:58 H s[A]: v=1");
        QTRY_COMPARE(form.reception.PacketsReceived.text(), QStringLiteral("1"));

        // Opened again, the dialog shows the stored port, and Text1 in its geometry boxes until the next
        // capture.
        QPointer<frmOptions> first = options;
        first->close();
        QTRY_VERIFY(!first);
        form.OptionsMenu_Click();
        options = frmOptions::ref();
        QCOMPARE(
            QStringList({options->portvalue->text(), options->readheight->text(), options->readleft->text()}),
            QStringList({QString::number(told.isEmpty() ? newPort : port), "Text1", "Text1"}));
        form.captureGeometry();
        QCOMPARE(options->readheight->text(), QStringLiteral("2985"));
    }

    // Exit and the close box end the window and its Options dialog; an About box outlives them, and the
    // program goes on until it is closed too.
    void shutdown_data() {
        QTest::addColumn<bool>("about"); // asked for twice before: one dialog; then Exit, else the close box
        QTest::newRow("close box") << false;
        QTest::newRow("Exit with the About box open") << true;
    }
    void shutdown() {
        QFETCH(bool, about);
        const int loadedBefore = LoadedForms::count();
        QPointer<MainForm> form = new MainForm;
        form->setAttribute(Qt::WA_DeleteOnClose);
        load(*form, true);
        form->OptionsMenu_Click();
        QPointer<frmOptions> options = frmOptions::ref();
        QVERIFY(options->isVisible());
        for (int i = 0; about && i < 2; ++i)
            form->AboutMenu_Click();
        QPointer<frmAbout> aboutBox = frmAbout::instance();
        about ? form->ExitMenu_Click() : void(form->close());
        QTRY_VERIFY(!form);
        QVERIFY(!options);
        QCOMPARE(aboutBox && aboutBox->isVisible(), about);
        QCOMPARE(LoadedForms::count(), loadedBefore + (about ? 1 : 0));
        delete aboutBox;
    }

    // The statistics' texts: counts without grouping, and what the system does not report is not available.
    // The counters follow the datagrams: a count wider than its box widens the box, shows its leading
    // digits and moves the byte counter right of it. The statistics window follows the counts while shown,
    // once a second, and closes with the main window.
    void countersAndStatistics() {
        const auto texts = [](qint64 drops, int buffer) {
            const auto values = StatisticsText::values({1234567, 3, 42, drops, buffer});
            return QStringList(values.begin(), values.end());
        };
        QCOMPARE(texts(12, 8388608), QStringList({"1234567", "3", "42", "12", "8388608 bytes"}));
        QCOMPARE(texts(-1, 0).mid(3), QStringList({"not available", "not available"}));

        MainForm form;
        QVERIFY(form.DudUDP.bindPort(0));
        form.show();
        form.StatisticsMenu->trigger();
        QVERIFY(form.statistics && form.statistics->isVisible() && !form.statistics->isModal());
        form.reception.PacketsReceived.setText(QStringLiteral("123456788"));
        form.reception.ReceivedBytes.setText(QStringLiteral("99999999999999"));
        form.reception.processDatagram("<13>Sep  9 20:04:58 H s[a]: v=1");
        form.reception.processDatagram("<13>Sep  9 20:04:58 H no tag");
        QTRY_COMPARE(form.PacketsReceived->text(), QStringLiteral("123456790"));
        for (QLineEdit *box : {form.PacketsReceived, form.ReceivedBytes}) {
            QCOMPARE(box->cursorPosition(), 0);
            QVERIFY(box->width() >= box->fontMetrics().horizontalAdvance(box->text()));
        }
        // Still left of the "Bytes Received:" text.
        const int labelText = form.Label1->x() + form.Label1->width() -
                              form.Label1->fontMetrics().horizontalAdvance(form.Label1->text());
        QVERIFY(form.PacketsReceived->geometry().right() < labelText);

        QTRY_COMPARE_WITH_TIMEOUT(form.statistics->valueText(0), QStringLiteral("2"), 2500);
        QVERIFY(form.statistics->valueText(4).endsWith(QStringLiteral(" bytes")));
        form.close();
        QVERIFY(!form.statistics->isVisible());
    }

    // The icon's image and tip (cut to 63 characters), added at start-up and removed once at
    // shutdown. Without an icon, a minimized window stays in the task bar.
    void trayRecord() {
        MainForm form;
        load(form);
        const NotifyIconData &t = form.trayicon;
        QVERIFY(!t.hIcon.isNull());
        QCOMPARE(t.szTip, form.windowTitle() + QChar(0) + QString(63 - form.windowTitle().size(), ' '));
        const QString caption = QStringLiteral("Zar-Are on ") + QString(70, QLatin1Char('x'));
        QCOMPARE(NotifyIconData::tipField(caption), caption.left(63) + QChar(0));

        form.Form_Unload();
        QVERIFY(!form.tray.isAdded());
        form.show();
        form.showMinimized();
        QCoreApplication::processEvents();
        QVERIFY(form.isVisible());
    }

    // A size change of the shown window holds the minimum. The icon's messages arrive as mouse moves with
    // the message as x: only a left double-click brings the minimized, hidden window back. Each of them,
    // and the mouse on the bare client area, captures the geometry; a shown window is laid out again.
    void geometryFollowsTheWindow_data() {
        QTest::addColumn<int>(
            "message"); // 0 none; below 0 a mouse event of type -message on the bare client area
        QTest::addColumn<QSizeF>("set"); // width and height, in twips
        QTest::addColumn<QSizeF>("size");
        QTest::addColumn<bool>("visible");
        const QSizeF normal(8000, 4000);
        // clang-format off
        QTest::newRow("narrower than the minimum") << 0 << QSizeF(4000, 4000) << QSizeF(5000, 4000) << true;
        QTest::newRow("lower than the minimum") << 0 << QSizeF(5000, 999) << QSizeF(5000, 1000) << true;
        QTest::newRow("left double-click") << int(TrayIcon::LeftDoubleClick) << normal << normal << true;
        QTest::newRow("left button up") << int(TrayIcon::LeftButtonUp) << normal << normal << false;
        QTest::newRow("press on the client area") << -int(QEvent::MouseButtonPress) << normal << normal << false;
        QTest::newRow("release on the client area") << -int(QEvent::MouseButtonRelease) << normal << normal << false;
        QTest::newRow("move on the client area at x 515 (0x203)") << -int(QEvent::MouseMove) << normal << normal << false;
        // clang-format on
    }
    void geometryFollowsTheWindow() {
        QFETCH(int, message);
        QFETCH(QSizeF, set);
        MainForm form;
        load(form, true);
        QWidget *client = form.centralWidget();
        const QPoint bare(client->width() - 3, 3); // right of the counters, above the grid
        if (message != 0) {
            form.setWindowState(Qt::WindowMinimized);
            form.hide(); // as minimizing does when an icon can bring the window back
            frmOptions::ref()->readheight->setText(QStringLiteral("stale"));
        }
        WindowGeometry::setWidth(&form, float(set.width()));
        WindowGeometry::setHeight(&form, float(set.height()));
        if (message > 0) {
            form.tray.simulate(message);
        } else if (message < 0) {
            const auto type = QEvent::Type(-message);
            const QPointF at = type == QEvent::MouseMove ? QPointF(515, 3) : QPointF(bare);
            QMouseEvent event(type, at, client->mapToGlobal(at), Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                              Qt::NoModifier);
            QCoreApplication::sendEvent(client, &event);
        }
        QTEST(form.isVisible(), "visible");
        QTEST(QSizeF(WindowGeometry::width(&form), WindowGeometry::height(&form)), "size");
        checkCaptured(form);
        if (form.isVisible()) {
            QVERIFY(!form.isMinimized());
            checkLayout(form);
        }
    }
};

ZARARE_TEST(MainFormTest)
#include "MainFormTest.moc"
