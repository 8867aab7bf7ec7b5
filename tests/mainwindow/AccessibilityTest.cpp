#include "TestRegistry.h"
#include "WindowTesting.h"
#include "mainwindow/MainForm.h"
#include "sensorview/SensorView.h"
#include "settings/frmOptions.h"

#include <QAccessible>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>

using namespace WindowTesting;

// The main window from the keyboard, and what an assistive tool sees of the Options dialog.
class AccessibilityTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    static QAccessibleInterface *accessible(QObject *o) { return QAccessible::queryAccessibleInterface(o); }
    static QStringList titles(const QList<QAction *> &actions) {
        QStringList out;
        for (const QAction *a : actions)
            out << (a->menu() ? a->menu()->title() : a->text());
        return out;
    }

private slots:
    void initTestCase() {
        SettingsFile::setFolderForTesting(dir.path());
        writeSettings(record(freePort()));
    }
    void cleanup() { frmOptions::unload(); }

    // The menus, the "By Sensor" view in the grid's place and the grid's cells from the keyboard; the
    // Options dialog's names and order.
    void keyboardAndNames() {
        MainForm form;
        load(form, true);
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        SensorView *sensors = form.sensorView;
        QTableView *view = form.MSFlexGrid1;
        QCOMPARE(titles(form.menuBar()->actions()) + titles(form.FileMenu->actions()) +
                     titles(form.ToolsMenu->actions()) + titles(sensors->ViewMenu->actions()),
                 QStringList({"File", "Tools", "View", "Help", "Export CSV...", "Copy", "Exit", "Options",
                              "Statistics...", "Rules...", "Readings", "By Sensor"}));

        QTest::keyClick(&form, Qt::Key_F10);
        QTRY_VERIFY(form.FileMenu->isVisible());
        QTest::keyClick(form.FileMenu, Qt::Key_Escape);
        QTRY_VERIFY(!form.FileMenu->isVisible());
        form.menuBar()->setActiveAction(nullptr);

        // Ctrl+2 and Ctrl+1 switch the views, each choice told to be remembered; the sensor view takes
        // the grid's place and size after the window is resized, and Ctrl+F reaches its filter.
        QSignalSpy remembered(sensors, &SensorView::prefsChanged);
        QTest::keyClick(&form, Qt::Key_2, Qt::ControlModifier);
        QVERIFY(sensors->isVisible() && !view->isVisible());
        QVERIFY(sensors->BySensorViewMenu->isChecked() && !sensors->ReadingsViewMenu->isChecked());
        form.resize(form.width() + 90, form.height() + 60);
        QCOMPARE(sensors->geometry(), view->geometry());
        QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(sensors->filterBox()->hasFocus());
        QTest::keyClick(&form, Qt::Key_1, Qt::ControlModifier);
        QVERIFY(view->isVisible() && !sensors->isVisible());
        QCOMPARE(remembered.count(), 2);

        // The grid takes the focus back from the hidden filter, and the arrow keys walk its cells.
        QVERIFY(view->hasFocus());
        for (int i = 0; i < 3; ++i)
            form.reception.processDatagram(
                QStringLiteral("<13>Sep  9 20:04:58 H%1 s[A]: v=1").arg(i).toUtf8());
        form.grid.flush();
        view->setCurrentIndex(form.grid.index(0, 0));
        QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_Right);
        QCOMPARE(view->currentIndex(), form.grid.index(1, 1));

        // Alt held while another key is pressed is no menu request; Alt alone opens the File menu, or
        // highlights it where the style navigates the menu bar itself.
        auto menuReached = [&] {
            return form.FileMenu->isVisible() ||
                   form.menuBar()->activeAction() == form.FileMenu->menuAction();
        };
        QTest::keyPress(view, Qt::Key_Alt);
        QTest::keyClick(view, Qt::Key_Down, Qt::AltModifier);
        QTest::keyRelease(view, Qt::Key_Alt);
        QCoreApplication::processEvents(); // where a menu request would be carried out
        QVERIFY(!menuReached());
        QTest::keyPress(view, Qt::Key_Alt);
        QTest::keyRelease(view, Qt::Key_Alt);
        QTRY_VERIFY(menuReached());

        // Each box of the Options dialog is read by its label's words (the geometry labels are not beside
        // their own boxes), and Tab walks it from Save down the boxes; the counters are read-only. (The
        // main window's names and readings are read over the accessibility bus by tests/atspi.)
        form.OptionsMenu_Click();
        frmOptions *o = frmOptions::ref();
        const QList<QWidget *> boxes{o->cmdOK,     o->portvalue, o->readheight,
                                     o->readwidth, o->readtop,   o->readleft};
        QStringList names;
        for (QWidget *box : boxes)
            names << accessible(box)->text(QAccessible::Name);
        QCOMPARE(names, QStringList({"Save", "Incoming UDP Port", "Window Height", "Window Width",
                                     "Window Top", "Window Left"}));
        QList<QWidget *> visited{o->cmdOK}; // the widgets Tab visits, in the order it visits them
        for (QWidget *w = o->cmdOK->nextInFocusChain(); w != o->cmdOK; w = w->nextInFocusChain())
            if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(o) && w->isEnabled())
                visited << w;
        QCOMPARE(visited, boxes);
        QCOMPARE(accessible(form.PacketsReceived)->state().readOnly, 1u);
    }
};

ZARARE_TEST(AccessibilityTest)
#include "AccessibilityTest.moc"
