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

// What an assistive tool sees: names of the controls, the grid as a table; and the keyboard.
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
    void initTestCase() { SettingsFile::setFolderForTesting(dir.path()); }
    void cleanup() { frmOptions::unload(); }

    // Each box is read by its label's words (the geometry labels are not beside their own boxes), and
    // the counters' values as values, read-only; Tab walks the Options dialog from Save down the boxes.
    // Two readings over loopback are read back as a screen reader reads them: the counters and the table.
    void namesOrderAndReadings() {
        const quint16 port = freePort();
        writeSettings(record(port, "3000,9000,1200,900"));
        MainForm form;
        form.Form_Load();
        form.show();
        form.OptionsMenu_Click();
        frmOptions *o = frmOptions::ref();
        QStringList names;
        for (QObject *control : std::initializer_list<QObject *>{
                 form.PacketsReceived, form.ReceivedBytes, form.MSFlexGrid1, o->portvalue, o->readheight,
                 o->readwidth, o->readtop, o->readleft, o->cmdOK})
            names << accessible(control)->text(QAccessible::Name);
        QCOMPARE(names, QStringList({"Packets Received", "Bytes Received", "Hosts", "Incoming UDP Port",
                                     "Window Height", "Window Width", "Window Top", "Window Left", "Save"}));
        QCOMPARE(accessible(form.PacketsReceived)->text(QAccessible::Value), QStringLiteral("0"));
        QCOMPARE(accessible(form.PacketsReceived)->state().readOnly, 1u);

        QList<QWidget *> visited{o->cmdOK}; // the widgets Tab visits, in the order it visits them
        for (QWidget *w = o->cmdOK->nextInFocusChain(); w != o->cmdOK; w = w->nextInFocusChain())
            if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(o) && w->isEnabled())
                visited << w;
        QCOMPARE(visited, (QList<QWidget *>{o->cmdOK, o->portvalue, o->readheight, o->readwidth, o->readtop,
                                            o->readleft}));

        const QByteArray readings[] = {"<13>Sep  9 20:04:58 OFFICE sensor[CPU Temp]: Temp=45.0 C",
                                       "<13>Sep  9 20:05:00 LAB sensor[Fan]: Speed=1200 RPM"};
        for (const QByteArray &reading : readings)
            send(port, reading);
        QTRY_COMPARE(accessible(form.PacketsReceived)->text(QAccessible::Value), QStringLiteral("2"));
        QCOMPARE(accessible(form.ReceivedBytes)->text(QAccessible::Value),
                 QString::number(readings[0].size() + readings[1].size()));
        QTRY_COMPARE(form.grid.rowCount(), 2);

        QAccessibleTableInterface *table = accessible(form.MSFlexGrid1)->tableInterface();
        QVERIFY(table);
        QCOMPARE(QPoint(table->rowCount(), table->columnCount()), QPoint(2, 130));
        QStringList cells;
        for (const QPoint &at : {QPoint(0, 0), QPoint(0, 1), QPoint(0, 2), QPoint(0, 3), QPoint(1, 3)})
            cells << table->cellAt(at.x(), at.y())->text(QAccessible::Name);
        QCOMPARE(cells, QStringList({"Sep  9", "20:04:58", " CPU Temp", " 45.0 ", " 1200 "}));
        QAccessibleTableCellInterface *tableCell = table->cellAt(0, 2)->tableCellInterface();
        QVERIFY(tableCell);
        // Header cells are handed out new on every call, and are the caller's to delete.
        const QList<QAccessibleInterface *> rowHeaders = tableCell->rowHeaderCells();
        const QList<QAccessibleInterface *> columnHeaders = tableCell->columnHeaderCells();
        QCOMPARE(rowHeaders.size(), 1);
        QCOMPARE(rowHeaders.first()->text(QAccessible::Name), QStringLiteral("OFFICE"));
        QCOMPARE(columnHeaders.first()->text(QAccessible::Name), QStringLiteral("Name"));
        for (QAccessibleInterface *header : rowHeaders + columnHeaders)
            QAccessible::deleteAccessibleInterface(QAccessible::registerAccessibleInterface(header));
        form.DudUDP.Close();
    }

    // The menus, the "By Sensor" view in the grid's place and the grid's cells, from the keyboard.
    void menusViewsAndGridFromTheKeyboard() {
        MainForm form;
        load(form, true);
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        SensorView *sensors = form.sensorView;
        QCOMPARE(titles(form.menuBar()->actions()) + titles(form.FileMenu->actions()) +
                     titles(form.ToolsMenu->actions()) + titles(sensors->ViewMenu->actions()),
                 QStringList({"File", "Tools", "View", "Help", "Export CSV...", "Copy", "Exit", "Options",
                              "Statistics...", "Rules...", "Readings", "By Sensor"}));

        QTest::keyClick(&form, Qt::Key_F10);
        QTRY_VERIFY(form.FileMenu->isVisible());
        QTest::keyClick(form.FileMenu, Qt::Key_Escape);
        QTRY_VERIFY(!form.FileMenu->isVisible());
        form.menuBar()->setActiveAction(nullptr);

        // Alt alone: the File menu opens, or is highlighted where the style navigates the menu bar itself.
        auto menuReached = [&] {
            return form.FileMenu->isVisible() ||
                   form.menuBar()->activeAction() == form.FileMenu->menuAction();
        };
        QTableView *view = form.MSFlexGrid1;
        view->setFocus();
        QTest::keyPress(view, Qt::Key_Alt);
        QTest::keyRelease(view, Qt::Key_Alt);
        QTRY_VERIFY(menuReached());
        form.FileMenu->close();
        form.menuBar()->setActiveAction(nullptr);
        QTest::keyClick(form.menuBar(), Qt::Key_Escape);

        // Ctrl+2 and Ctrl+1 switch the views, each choice told to be remembered; the sensor view takes
        // the grid's place and size, also after the window is resized, and Ctrl+F reaches its filter.
        QVERIFY(view->isVisible() && !sensors->isVisible());
        QSignalSpy remembered(sensors, &SensorView::prefsChanged);
        QTest::keyClick(&form, Qt::Key_2, Qt::ControlModifier);
        QVERIFY(sensors->isVisible() && !view->isVisible());
        QVERIFY(sensors->BySensorViewMenu->isChecked() && !sensors->ReadingsViewMenu->isChecked());
        QCOMPARE(remembered.count(), 1);
        QCOMPARE(remembered.at(0).at(0).value<SensorViewPrefs>().lines(), QStringList{"view by-sensor"});
        QCOMPARE(sensors->geometry(), view->geometry());
        form.resize(form.width() + 90, form.height() + 60);
        QCOMPARE(sensors->geometry(), view->geometry());
        QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(sensors->filterBox()->hasFocus());
        QTest::keyClick(&form, Qt::Key_1, Qt::ControlModifier);
        QVERIFY(view->isVisible() && !sensors->isVisible());
        QCOMPARE(remembered.count(), 2);

        // The grid takes the focus and the arrow keys walk its cells.
        for (int i = 0; i < 3; ++i)
            form.reception.processDatagram(
                QStringLiteral("<13>Sep  9 20:04:58 H%1 s[A]: v=1").arg(i).toUtf8());
        form.grid.flush();
        view->setFocus();
        QVERIFY(view->hasFocus() || QApplication::focusWidget() == view);
        view->setCurrentIndex(form.grid.index(0, 0));
        QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_Right);
        QCOMPARE(view->currentIndex(), form.grid.index(1, 1));

        // Alt held while another key is pressed is no menu request.
        QTest::keyPress(view, Qt::Key_Alt);
        QTest::keyClick(view, Qt::Key_Down, Qt::AltModifier);
        QTest::keyRelease(view, Qt::Key_Alt);
        QTest::qWait(20);
        QVERIFY(!menuReached());
        QTest::keyPress(view, Qt::Key_Alt);
        QTest::keyRelease(view, Qt::Key_Alt);
        QTRY_VERIFY(menuReached());

        // A remembered choice is applied at start-up without being told back.
        SensorViewPrefs stored;
        stored.bySensor = true;
        sensors->setPrefs(stored);
        QVERIFY(sensors->isVisible() && sensors->BySensorViewMenu->isChecked());
        QCOMPARE(remembered.count(), 2);
    }
};

ZARARE_TEST(AccessibilityTest)
#include "AccessibilityTest.moc"
