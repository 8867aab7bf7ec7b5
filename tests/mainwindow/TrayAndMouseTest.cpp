#include "TestRegistry.h"
#include "geometry/WindowGeometry.h"
#include "mainwindow/MainForm.h"
#include "settings/SettingsFile.h"
#include "settings/frmOptions.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>

// Without a notification area (as offscreen): the icon's messages, mouse events and the tip.
class TrayAndMouseTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    static void loadWithoutSocket(MainForm &form) {
        form.Form_Load();
        form.DudUDP.Close();
    }

private slots:
    void initTestCase() { SettingsFile::setFolderForTesting(dir.path()); }
    void cleanup() { frmOptions::unload(); }

    void recordIsFilledAtStartUp() {
        MainForm form;
        loadWithoutSocket(form);
        QCOMPARE(form.trayicon.cbSize, 88u);
        QCOMPARE(form.trayicon.hWnd, &form);
        QCOMPARE(form.trayicon.uID, 1u);
        QCOMPARE(form.trayicon.uFlags, 7u);
        QCOMPARE(form.trayicon.uCallbackMessage, 0x200u);
        QVERIFY(!form.trayicon.hIcon.isNull());
        QCOMPARE(form.trayicon.szTip.size(), 64);
        QCOMPARE(form.trayicon.tipText(), form.windowTitle());
        QVERIFY(form.tray.isAdded());
        QCOMPARE(form.tray.toolTip(), form.windowTitle());
    }

    void longCaptionsAreCutInTheTip() {
        const QString caption = QStringLiteral("Zar-Are on ") + QString(70, QLatin1Char('x'));
        NotifyIconData data;
        data.szTip = NotifyIconData::tipField(caption);
        QCOMPARE(data.szTip.size(), 64);
        QCOMPARE(data.tipText(), caption.left(63));
        data.szTip = NotifyIconData::tipField(QStringLiteral("Zar-Are on OFFICE1"));
        QCOMPARE(data.tipText(), QStringLiteral("Zar-Are on OFFICE1"));
        QCOMPARE(data.szTip.mid(19), QString(45, QLatin1Char(' ')));
    }

    void doubleClickBringsAHiddenWindowBack() {
        MainForm form;
        loadWithoutSocket(form);
        form.show();
        form.setWindowState(Qt::WindowMinimized);
        form.hide(); // as minimizing does when an icon can bring the window back
        WindowGeometry::setWidth(&form, 8000);
        form.tray.simulate(TrayIcon::LeftDoubleClick);
        QVERIFY(form.isVisible());
        QVERIFY(!form.isMinimized());
        QCOMPARE(form.gridWidth(), 8000.0f - 325.0f); // laid out again
        QCOMPARE(frmOptions::ref()->readwidth->text(), QStringLiteral("8000"));
    }

    void otherMessagesOnlyCaptureTheGeometry() {
        MainForm form;
        loadWithoutSocket(form);
        form.show();
        form.hide();
        for (const int message :
             {TrayIcon::LeftButtonUp, TrayIcon::RightButtonUp, TrayIcon::MiddleButtonUp, 0x200}) {
            frmOptions::ref()->readheight->setText(QStringLiteral("stale"));
            form.tray.simulate(message);
            QVERIFY(!form.isVisible());
            QCOMPARE(frmOptions::ref()->readheight->text().toFloat(), WindowGeometry::height(&form));
        }
        QVERIFY(!frmOptions::ref()->isVisible());
    }

    void mouseOnTheBareClientAreaCapturesTheGeometry() {
        MainForm form;
        loadWithoutSocket(form);
        form.show();
        QWidget *client = form.centralWidget();
        const QPoint bare(client->width() - 3, 3); // right of the counters, above the grid
        QCOMPARE(client->childAt(bare), nullptr);
        for (int round = 0; round < 2; ++round) {
            frmOptions::ref()->readleft->setText(QStringLiteral("stale"));
            if (round == 0)
                QTest::mousePress(client, Qt::LeftButton, {}, bare);
            else
                QTest::mouseRelease(client, Qt::LeftButton, {}, bare);
            QCOMPARE(frmOptions::ref()->readleft->text().toFloat(), WindowGeometry::left(&form));
        }
        // A move over the bare client area is never taken for the icon's double-click, wherever it is.
        form.hide();
        QMouseEvent move(QEvent::MouseMove, QPointF(515, 3), QPointF(515, 3), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(client, &move);
        QVERIFY(!form.isVisible());
    }

    void unloadRemovesTheIcon() {
        MainForm form;
        loadWithoutSocket(form);
        QVERIFY(form.tray.isAdded());
        form.Form_Unload();
        QVERIFY(!form.tray.isAdded());
        QVERIFY(!form.tray.remove()); // a second delete does nothing
    }
};

ZARARE_TEST(TrayAndMouseTest)
#include "TrayAndMouseTest.moc"
