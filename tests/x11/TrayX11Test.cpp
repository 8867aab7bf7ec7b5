#include "TestRegistry.h"
#include "geometry/WindowGeometry.h"
#include "mainwindow/MainForm.h"
#include "settings/SettingsFile.h"
#include "settings/frmOptions.h"

#include <QFile>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>

// With a real window manager and notification area: the frame, minimizing into the tray and the
// double-click that brings the window back.
class TrayX11Test : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void initTestCase() {
        SettingsFile::setFolderForTesting(dir.path());
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 5000);
    }
    void cleanup() {
        frmOptions::unload();
        QFile::remove(SettingsFile::path());
    }

    // The stored geometry is the outer frame, which the window manager adds after the first show; then
    // minimizing hides the window in the tray, and a real double-click on the icon brings it back.
    void framedWindowMinimizesIntoTheTrayAndComesBack() {
        QFile f(SettingsFile::path());
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("6553,2985,7815,1200,900\r\n") == 25);
        f.close();
        MainForm form;
        form.Form_Load();
        form.DudUDP.Close();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTRY_VERIFY(form.frameGeometry().height() > form.height());
        QTRY_COMPARE(form.frameGeometry().height() * 15, 2985);
        QTRY_COMPARE(form.frameGeometry().width() * 15, 7815);
        QTRY_COMPARE(form.frameGeometry().topLeft(), QPoint(60, 80));
        QCOMPARE(WindowGeometry::height(&form), 2985.0f);

        QTRY_VERIFY(form.tray.isShown() && !form.tray.geometry().isEmpty()); // docked where it can be clicked
        form.showMinimized();
        QTRY_VERIFY(!form.isVisible());
        const QPoint at = form.tray.geometry().center();
        const QString x = QString::number(at.x()), y = QString::number(at.y());
        QCOMPARE(
            QProcess::execute("xdotool", {"mousemove", x, y, "click", "--repeat", "2", "--delay", "80", "1"}),
            0);
        QTRY_VERIFY_WITH_TIMEOUT(form.isVisible(), 5000);
        QVERIFY(QTest::qWaitForWindowExposed(&form)); // an iconified window is not exposed
        QCOMPARE(form.gridWidth(), WindowGeometry::width(&form) - 325);
        form.Form_Unload();
    }
};

ZARARE_TEST(TrayX11Test)
#include "TrayX11Test.moc"
