#include "TestRegistry.h"
#include "mainwindow/WindowTesting.h"

#include <QProcess>
#include <QSystemTrayIcon>
#include <QTemporaryDir>

using namespace WindowTesting;

// With a real window manager and notification area: the frame, minimizing into the tray and the
// double-click that brings the window back.
class TrayX11Test : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    // The stored geometry is the outer frame, which the window manager adds after the first show; then
    // minimizing hides the window in the tray, and a real double-click on the icon brings it back.
    void framedWindowMinimizesIntoTheTrayAndComesBack() {
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 5000);
        SettingsFile::setFolderForTesting(dir.path());
        writeSettings(record(freePort()));
        MainForm form;
        load(form, true);
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTRY_VERIFY(form.frameGeometry().height() > form.height());
        QTRY_COMPARE(form.frameGeometry().height() * 15, 2985);
        QTRY_COMPARE(form.frameGeometry().width() * 15, 7815);
        QTRY_COMPARE(form.frameGeometry().topLeft(), QPoint(60, 80));

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
    }
};

ZARARE_TEST(TrayX11Test)
#include "TrayX11Test.moc"
