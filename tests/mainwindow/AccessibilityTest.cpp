#include "TestRegistry.h"
#include "about/frmAbout.h"
#include "mainwindow/MainForm.h"
#include "settings/SettingsFile.h"
#include "settings/frmOptions.h"

#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

// What an assistive tool sees: names and roles of the controls, the grid as a table, and the keyboard.
class AccessibilityTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    static QAccessibleInterface *accessible(QObject *o) { return QAccessible::queryAccessibleInterface(o); }

private slots:
    void initTestCase() { SettingsFile::setFolderForTesting(dir.path()); }
    void cleanup() {
        frmOptions::unload();
        delete frmAbout::instance();
    }

    void controlsHaveNamesAndRoles() {
        MainForm form;
        form.Form_Load();
        form.DudUDP.Close();
        form.show();
        struct Expected {
            QObject *control;
            QString name;
            QAccessible::Role role;
        };
        frmOptions *options = frmOptions::ref();
        const Expected main[] = {
            {form.PacketsReceived, QStringLiteral("Packets Received"), QAccessible::EditableText},
            {form.ReceivedBytes, QStringLiteral("Bytes Received"), QAccessible::EditableText},
            {form.MSFlexGrid1, QStringLiteral("Hosts"), QAccessible::Table},
            {options->portvalue, QStringLiteral("Incoming UDP Port"), QAccessible::EditableText},
            {options->readheight, QStringLiteral("Window Height"), QAccessible::EditableText},
            {options->readwidth, QStringLiteral("Window Width"), QAccessible::EditableText},
            {options->readtop, QStringLiteral("Window Top"), QAccessible::EditableText},
            {options->readleft, QStringLiteral("Window Left"), QAccessible::EditableText},
            {options->cmdOK, QStringLiteral("Save"), QAccessible::Button},
        };
        for (const Expected &e : main) {
            QAccessibleInterface *a = accessible(e.control);
            QVERIFY(a);
            QCOMPARE(a->text(QAccessible::Name), e.name);
            QCOMPARE(a->role(), e.role);
        }
        // The counters' values are read as values, not as names.
        QCOMPARE(accessible(form.PacketsReceived)->text(QAccessible::Value), QStringLiteral("0"));
        QCOMPARE(accessible(form.PacketsReceived)->state().readOnly, 1u);

        frmAbout::showModeless();
        frmAbout *about = frmAbout::instance();
        for (const char *name : {"lblTitle", "lblVersion", "lblDescription"}) {
            auto *label = about->findChild<QLabel *>(QLatin1String(name));
            QAccessibleInterface *a = accessible(label);
            QCOMPARE(a->text(QAccessible::Name), label->text());
            QVERIFY(!a->text(QAccessible::Description).isEmpty());
        }
        QCOMPARE(accessible(about->findChild<QPushButton *>(QStringLiteral("cmdSysInfo")))
                     ->text(QAccessible::Name),
                 QStringLiteral("System Info..."));
    }

    // Two readings over loopback, read back as a screen reader reads them: the counters and the table.
    void datagramsReachTheCountersAndTheTable() {
        QUdpSocket probe;
        QVERIFY(probe.bind(QHostAddress::AnyIPv4, 0));
        const quint16 port = probe.localPort();
        probe.close();
        QFile f(SettingsFile::path());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray::number(port) + ",3000,9000,1200,900");
        f.close();
        MainForm form;
        form.Form_Load();
        form.show();
        const QByteArray readings[] = {"<13>Sep  9 20:04:58 OFFICE sensor[CPU Temp]: Temp=45.0 C",
                                       "<13>Sep  9 20:05:00 LAB sensor[Fan]: Speed=1200 RPM"};
        QUdpSocket out;
        for (const QByteArray &reading : readings)
            out.writeDatagram(reading, QHostAddress::LocalHost, port);
        QTRY_COMPARE(accessible(form.PacketsReceived)->text(QAccessible::Value), QStringLiteral("2"));
        QCOMPARE(accessible(form.ReceivedBytes)->text(QAccessible::Value),
                 QString::number(readings[0].size() + readings[1].size()));
        QTRY_COMPARE(form.grid.rowCount(), 2);

        QAccessibleTableInterface *table = accessible(form.MSFlexGrid1)->tableInterface();
        QVERIFY(table);
        QCOMPARE(table->rowCount(), 2);
        QCOMPARE(table->columnCount(), 130);
        const QStringList row0{"Sep  9", "20:04:58", " CPU Temp", " 45.0 "};
        for (int column = 0; column < row0.size(); ++column)
            QCOMPARE(table->cellAt(0, column)->text(QAccessible::Name), row0.at(column));
        QCOMPARE(table->cellAt(1, 3)->text(QAccessible::Name), QStringLiteral(" 1200 "));
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

    void menuBarAndGridFromTheKeyboard() {
        MainForm form;
        form.Form_Load();
        form.DudUDP.Close();
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));

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
        form.MSFlexGrid1->setFocus();
        QTest::keyPress(form.MSFlexGrid1, Qt::Key_Alt);
        QTest::keyRelease(form.MSFlexGrid1, Qt::Key_Alt);
        QTRY_VERIFY(menuReached());
        form.FileMenu->close();
        form.menuBar()->setActiveAction(nullptr);
        QTest::keyClick(form.menuBar(), Qt::Key_Escape);

        // The grid takes the focus and the arrow keys walk its cells.
        for (int i = 0; i < 3; ++i)
            form.reception.processDatagram(
                QStringLiteral("<13>Sep  9 20:04:58 H%1 s[A]: v=1").arg(i).toUtf8());
        form.grid.flush();
        QTableView *view = form.MSFlexGrid1;
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
    }

    void optionsFocusOrder() {
        MainForm form;
        form.Form_Load();
        form.DudUDP.Close();
        form.OptionsMenu_Click();
        frmOptions *options = frmOptions::ref();
        const QList<QWidget *> order{options->cmdOK,     options->portvalue, options->readheight,
                                     options->readwidth, options->readtop,   options->readleft};
        // The widgets Tab visits, in the order it visits them.
        QList<QWidget *> visited{options->cmdOK};
        for (QWidget *w = options->cmdOK->nextInFocusChain(); w != options->cmdOK; w = w->nextInFocusChain())
            if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(options) && w->isEnabled())
                visited << w;
        QCOMPARE(visited, order);
    }
};

ZARARE_TEST(AccessibilityTest)
#include "AccessibilityTest.moc"
