#include "mainwindow/MainForm.h"
#include "TestRegistry.h"
#include "about/frmAbout.h"
#include "desktop/LoadedForms.h"
#include "geometry/Twips.h"
#include "geometry/WindowGeometry.h"
#include "mainwindow/ComputerName.h"
#include "settings/SettingsFile.h"
#include "settings/frmOptions.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

class MainFormTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    static QMessageBox *visibleMessage() {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible())
                return box;
        return nullptr;
    }
    static void closeMessages() {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<QMessageBox *>(w))
                box->close();
    }
    static quint16 freePort() {
        QUdpSocket probe;
        probe.bind(QHostAddress::AnyIPv4, 0);
        return probe.localPort();
    }
    QString settingsPath() const { return SettingsFile::path(); }
    void writeSettings(const QByteArray &bytes) {
        QFile f(settingsPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray storedSettings() const {
        QFile f(settingsPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static int send(quint16 port, const QByteArray &bytes) {
        QUdpSocket out;
        return int(out.writeDatagram(bytes, QHostAddress::LocalHost, port));
    }

private slots:
    void initTestCase() { SettingsFile::setFolderForTesting(dir.path()); }
    void cleanup() {
        closeMessages();
        frmOptions::unload();
        QFile::remove(settingsPath());
    }

    void controlsCarryTheirNames() {
        MainForm form;
        QVERIFY(form.findChild<QTableView *>(QStringLiteral("MSFlexGrid1")));
        QVERIFY(form.findChild<UdpSocket *>(QStringLiteral("DudUDP")));
        QCOMPARE(form.findChild<QLabel *>(QStringLiteral("Label1"))->text(),
                 QStringLiteral("Bytes Received:"));
        QCOMPARE(form.findChild<QLabel *>(QStringLiteral("Label2"))->text(),
                 QStringLiteral("Packets Received:"));
        auto *packets = form.findChild<QLineEdit *>(QStringLiteral("PacketsReceived"));
        QVERIFY(packets && packets->isReadOnly());
        QCOMPARE(packets->text(), QStringLiteral("0"));
        QVERIFY(form.findChild<QLineEdit *>(QStringLiteral("ReceivedBytes"))->isReadOnly());
        QCOMPARE(form.ExitMenu->text(), QStringLiteral("Exit"));
        QCOMPARE(form.OptionsMenu->text(), QStringLiteral("Options"));
        QCOMPARE(form.AboutMenu->text(), QStringLiteral("About"));
        QCOMPARE(form.FileMenu->title(), QStringLiteral("File"));
        QCOMPARE(form.ToolsMenu->title(), QStringLiteral("Tools"));
        QCOMPARE(form.HelpMenu->title(), QStringLiteral("Help"));
    }

    void startUpAppliesTheStoredRecord() {
        const quint16 port = freePort();
        writeSettings(QByteArray::number(port) + ",2985,7815,1200,900");
        MainForm form;
        form.Form_Load();
        QCOMPARE(WindowGeometry::height(&form), 2985.0f);
        QCOMPARE(WindowGeometry::width(&form), 7815.0f);
        QCOMPARE(WindowGeometry::top(&form), 1200.0f);
        QCOMPARE(WindowGeometry::left(&form), 900.0f);
        QCOMPARE(form.windowgeometry[0], QStringLiteral("2985"));
        QCOMPARE(form.windowgeometry[3], QStringLiteral("900"));
        QCOMPARE(frmOptions::ref()->portvalue->text(), QString::number(port));
        QCOMPARE(form.DudUDP.localPort(), port);
        QVERIFY(!frmOptions::ref()->isVisible());
        QCOMPARE(form.windowTitle(), QStringLiteral("Zar-Are on ") + GetLocalComputerName());
        QCOMPARE(QApplication::applicationDisplayName(), QStringLiteral("Zar-Are"));
        QVERIFY(!visibleMessage());

        // Header row: nothing in column 0, then Date, Time, and Name (blue) / Value up to column 130.
        QCOMPARE(form.grid.textAt(0, 0), QString());
        QCOMPARE(form.grid.textAt(0, 1), QStringLiteral("Date"));
        QCOMPARE(form.grid.textAt(0, 2), QStringLiteral("Time"));
        QCOMPARE(form.grid.textAt(0, 129), QStringLiteral("Name"));
        QCOMPARE(form.grid.foreColorAt(0, 129), FlexGrid::Blue);
        QCOMPARE(form.grid.textAt(0, 130), QStringLiteral("Value"));
        QCOMPARE(form.MSFlexGrid1->model()->headerData(129, Qt::Horizontal).toString(),
                 QStringLiteral("Value"));
    }

    void lowStoredHeightIsRaisedToTheMinimum() {
        writeSettings(QByteArray::number(freePort()) + ",500,3000,1200,900\r\n");
        MainForm form;
        form.Form_Load();
        QCOMPARE(WindowGeometry::height(&form), 1000.0f);
        QCOMPARE(WindowGeometry::width(&form), 5000.0f);
        QCOMPARE(form.gridHeight(), 0.0f); // under 1050 twips the grid has no height left
        QCOMPARE(form.gridWidth(), 4675.0f);
    }

    void storedPlaceOffEveryScreenKeepsTheDesignPlace_data() {
        QTest::addColumn<QByteArray>("place"); // top, left
        QTest::newRow("far left and up") << QByteArray("-900000,-900000");
        QTest::newRow("left beyond every number") << QByteArray("1200,-1E+38");
        QTest::newRow("top beyond 32 bits") << QByteArray("64424509440,900");
    }
    void storedPlaceOffEveryScreenKeepsTheDesignPlace() {
        QFETCH(QByteArray, place);
        MainForm reference;
        const QPoint designPlace = reference.frameGeometry().topLeft();
        writeSettings(QByteArray::number(freePort()) + ",2985,7815," + place);
        MainForm form;
        form.Form_Load();
        QCOMPARE(form.frameGeometry().topLeft(), designPlace);
        QCOMPARE(WindowGeometry::width(&form), 7815.0f);
    }

    void hugeStoredValuesAreHeldWithinTheWindowSystem() {
        const quint16 port = freePort();
        writeSettings(QByteArray::number(port) + ",1E+38,1E+38,-1E+38,-1E+38");
        MainForm form;
        form.Form_Load();
        form.show();
        // Brought down to the desktop, and on it (not at the stored place, which no screen shows).
        const QRect desktop = QGuiApplication::primaryScreen()->availableVirtualGeometry();
        QCOMPARE(WindowGeometry::width(&form), Twips::fromPixelsX(desktop.width(), &form));
        QCOMPARE(WindowGeometry::height(&form), Twips::fromPixelsY(desktop.height(), &form));
        QVERIFY(desktop.contains(form.frameGeometry().topLeft()));
        QCOMPARE(form.DudUDP.localPort(), port);
        QVERIFY(!visibleMessage());
    }

    void damagedFileIsToldAndDefaultsUsed_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("fewer fields") << QByteArray("6000,2985");
        QTest::newRow("not numbers") << QByteArray("6000,tall,wide,1200,900");
    }
    void damagedFileIsToldAndDefaultsUsed() {
        QFETCH(QByteArray, bytes);
        writeSettings(bytes);
        MainForm reference;
        MainForm form;
        form.Form_Load();
        QCOMPARE(frmOptions::ref()->portvalue->text(), QStringLiteral("514"));
        QCOMPARE(form.size(), reference.size());
        QMessageBox *box = visibleMessage();
        QVERIFY(box);
        QVERIFY(box->text().contains(settingsPath()));
        QVERIFY(box->text().contains(QStringLiteral("default")));
        closeMessages();
        QCOMPARE(storedSettings(), bytes); // left as it is until the next Save

        // The Options command tells the same, then shows the dialog with its port box unchanged.
        frmOptions::ref()->portvalue->setText(QStringLiteral("7000"));
        form.OptionsMenu_Click();
        QVERIFY(visibleMessage());
        QVERIFY(frmOptions::ref()->isVisible());
        QCOMPARE(frmOptions::ref()->portvalue->text(), QStringLiteral("7000"));
    }

    // Options reads the stored port back into the box over an edit; without a file the edit stays.
    void optionsReloadsTheStoredPort_data() {
        QTest::addColumn<bool>("stored");
        QTest::newRow("stored port") << true;
        QTest::newRow("no file") << false;
    }
    void optionsReloadsTheStoredPort() {
        QFETCH(bool, stored);
        const quint16 port = freePort();
        if (stored)
            writeSettings(QByteArray::number(port) + ",2985,7815,1200,900");
        MainForm form;
        form.Form_Load();
        frmOptions *options = frmOptions::ref();
        QCOMPARE(options->portvalue->text(), stored ? QString::number(port) : QStringLiteral("514"));
        form.DudUDP.Close();
        form.OptionsMenu_Click();
        QVERIFY(options->isVisible());
        options->portvalue->setText(QStringLiteral("1234"));
        form.OptionsMenu_Click();
        QCOMPARE(options->portvalue->text(), stored ? QString::number(port) : QStringLiteral("1234"));
        QCOMPARE(frmOptions::ref(), options);
    }

    void saveRebindsAndRewrites() {
        const quint16 port = freePort();
        writeSettings(QByteArray::number(port) + ",2985,7815,1200,900");
        MainForm form;
        form.Form_Load();
        form.show();
        form.OptionsMenu_Click();
        frmOptions *options = frmOptions::ref();
        options->readheight->setText(QStringLiteral("1")); // typed geometry never reaches the file
        QTest::mouseClick(options->cmdOK, Qt::LeftButton);
        QVERIFY(!options->isVisible());
        QCOMPARE(form.DudUDP.localPort(), port);
        const QByteArray expected = QByteArray::number(port) + ',' + options->readheight->text().toLatin1() +
                                    ',' + options->readwidth->text().toLatin1() + ',' +
                                    options->readtop->text().toLatin1() + ',' +
                                    options->readleft->text().toLatin1() + "\r\n";
        QCOMPARE(storedSettings(), expected);
        QCOMPARE(options->readheight->text().toFloat(), WindowGeometry::height(&form));

        // A new port: the socket moves at once.
        const quint16 other = freePort();
        form.OptionsMenu_Click();
        options->portvalue->setText(QString::number(other));
        options->cmdOK_Click();
        QCOMPARE(form.DudUDP.localPort(), other);
        QVERIFY(storedSettings().startsWith(QByteArray::number(other) + ','));
        send(other, "<13>Sep  9 20:04:58 H s[A]: v=1");
        QTRY_COMPARE(form.reception.PacketsReceived.text(), QStringLiteral("1"));
    }

    void saveWithABusyPortKeepsTheOldOne() {
        const quint16 port = freePort();
        writeSettings(QByteArray::number(port) + ",2985,7815,1200,900");
        const QByteArray before = storedSettings();
        MainForm form;
        form.Form_Load();
        form.OptionsMenu_Click();
        QUdpSocket busy;
        QVERIFY(busy.bind(QHostAddress::AnyIPv4, 0));
        frmOptions::ref()->portvalue->setText(QString::number(busy.localPort()));
        frmOptions::ref()->cmdOK_Click();
        QMessageBox *box = visibleMessage();
        QVERIFY(box);
        QVERIFY(box->text().contains(QStringLiteral("Port %1 could not be opened").arg(busy.localPort())));
        QVERIFY(box->text().contains(QStringLiteral("Still listening on port %1").arg(port)));
        QVERIFY(frmOptions::ref()->isVisible());
        QCOMPARE(storedSettings(), before);
        QCOMPARE(form.DudUDP.localPort(), port);
        send(port, "<13>Sep  9 20:04:58 H s[A]: v=1");
        QTRY_COMPARE(form.reception.PacketsReceived.text(), QStringLiteral("1"));
    }

    void unwritableSettingsAreToldAndTheDialogStays() {
        MainForm form;
        form.Form_Load();
        form.DudUDP.Close();
        SettingsFile::setFolderForTesting(dir.filePath(QStringLiteral("no/such/folder")));
        form.OptionsMenu_Click();
        frmOptions::ref()->portvalue->setText(QString::number(freePort()));
        frmOptions::ref()->cmdOK_Click();
        SettingsFile::setFolderForTesting(dir.path());
        QMessageBox *box = visibleMessage();
        QVERIFY(box);
        QVERIFY(box->text().contains(QStringLiteral("no/such/folder")));
        QVERIFY(frmOptions::ref()->isVisible());
        QVERIFY(form.DudUDP.isBound()); // the new port is in use all the same
    }

    void resizeFollowsTheWindow() {
        MainForm form;
        form.Form_Load();
        form.DudUDP.Close();
        form.show();
        WindowGeometry::setWidth(&form, 7000);
        WindowGeometry::setHeight(&form, 4000);
        QCOMPARE(form.gridWidth(), 6675.0f);
        QCOMPARE(form.gridHeight(), 2950.0f);
        frmOptions *options = frmOptions::ref();
        QCOMPARE(options->readheight->text(), QStringLiteral("4000"));
        QCOMPARE(options->readwidth->text(), QStringLiteral("7000"));
        QCOMPARE(options->readtop->text().toFloat(), WindowGeometry::top(&form));
        QCOMPARE(options->readleft->text().toFloat(), WindowGeometry::left(&form));
        QVERIFY(!options->isVisible()); // the capture never shows the dialog

        WindowGeometry::setWidth(&form, 4000);
        QCOMPARE(WindowGeometry::width(&form), 5000.0f);
        QCOMPARE(form.gridWidth(), 4675.0f);
        WindowGeometry::setWidth(&form, 5000);
        WindowGeometry::setHeight(&form, 1000);
        QCOMPARE(WindowGeometry::width(&form), 5000.0f);
        QCOMPARE(WindowGeometry::height(&form), 1000.0f);
        WindowGeometry::setHeight(&form, 999);
        QCOMPARE(WindowGeometry::height(&form), 1000.0f);
    }

    void minimizingWithoutAnIconKeepsTheWindowInTheTaskBar() {
        MainForm form;
        form.show();
        form.showMinimized();
        QVERIFY(form.isVisible());
    }

    void reopenedOptionsShowText1UntilTheNextCapture() {
        writeSettings(QByteArray::number(freePort()) + ",2985,7815,1200,900");
        MainForm form;
        form.Form_Load();
        form.show();
        form.OptionsMenu_Click();
        QVERIFY(frmOptions::ref()->readheight->text() != QStringLiteral("Text1"));
        QPointer<frmOptions> first = frmOptions::ref();
        first->close();
        QTRY_VERIFY(!first);
        form.OptionsMenu_Click();
        frmOptions *second = frmOptions::ref();
        QCOMPARE(second->readheight->text(), QStringLiteral("Text1"));
        QCOMPARE(second->readleft->text(), QStringLiteral("Text1"));
        QVERIFY(second->portvalue->text() != QStringLiteral("514"));
        form.captureGeometry();
        QCOMPARE(second->readheight->text(), QStringLiteral("2985"));
    }

    void exitAndTheCloseBoxCloseTheOptionsDialogToo_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("Exit") << false;
        QTest::newRow("close box") << true;
    }
    void exitAndTheCloseBoxCloseTheOptionsDialogToo() {
        QFETCH(bool, closeBox);
        const int loadedBefore = LoadedForms::count();
        QPointer<MainForm> form = new MainForm;
        form->setAttribute(Qt::WA_DeleteOnClose);
        form->Form_Load();
        form->DudUDP.Close();
        form->show();
        form->OptionsMenu_Click();
        QPointer<frmOptions> options = frmOptions::ref();
        QVERIFY(options->isVisible());
        if (closeBox)
            form->close();
        else
            form->ExitMenu_Click();
        QTRY_VERIFY(!form);
        QVERIFY(!options);
        QCOMPARE(LoadedForms::count(), loadedBefore);
    }

    void aboutIsOneDialogThatOutlivesExit() {
        const int loadedBefore = LoadedForms::count();
        QPointer<MainForm> form = new MainForm;
        form->setAttribute(Qt::WA_DeleteOnClose);
        form->show();
        form->AboutMenu_Click();
        form->AboutMenu_Click();
        QPointer<frmAbout> about = frmAbout::instance();
        QVERIFY(about && about->isVisible());
        int dialogs = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            dialogs += qobject_cast<frmAbout *>(w) != nullptr;
        QCOMPARE(dialogs, 1);
        form->ExitMenu_Click();
        QTRY_VERIFY(!form);
        QVERIFY(about && about->isVisible()); // the program goes on until the About box is closed too
        QCOMPARE(LoadedForms::count(), loadedBefore + 1);
        about->close();
        QTRY_VERIFY(!about);
    }

    void datagramsShowInCountersAndGrid() {
        const quint16 port = freePort();
        writeSettings(QByteArray::number(port) + ",2985,7815,1200,900");
        MainForm form;
        form.Form_Load();
        form.show();
        const QByteArray reading("<13>Sep  9 20:04:58 OFFICE sensor[CPU Temp]: Temp=45.0 C");
        send(port, reading);
        QTRY_COMPARE(form.PacketsReceived->text(), QStringLiteral("1"));
        QCOMPARE(form.ReceivedBytes->text(), QString::number(reading.size()));
        QAbstractItemModel *model = form.MSFlexGrid1->model();
        QTRY_COMPARE(model->rowCount(), 1);
        QCOMPARE(model->headerData(0, Qt::Vertical).toString(), QStringLiteral("OFFICE"));
        QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("Sep  9"));
        QCOMPARE(model->index(0, 2).data().toString(), QStringLiteral(" CPU Temp"));
        QCOMPARE(model->index(0, 3).data().toString(), QStringLiteral(" 45.0 "));
    }

    void largeCountsShowTheirLeadingDigits() {
        MainForm form;
        form.Form_Load();
        form.DudUDP.Close();
        form.show();
        form.reception.PacketsReceived.setText(QStringLiteral("123456788"));
        form.reception.ReceivedBytes.setText(QStringLiteral("99999999999999"));
        form.reception.processDatagram("<13>Sep  9 20:04:58 H s[A]: v=1");
        QTRY_COMPARE(form.PacketsReceived->text(), QStringLiteral("123456789"));
        for (QLineEdit *box : {form.PacketsReceived, form.ReceivedBytes}) {
            QCOMPARE(box->cursorPosition(), 0);
            QVERIFY2(box->width() >= box->fontMetrics().horizontalAdvance(box->text()),
                     qPrintable(box->objectName()));
        }
        // Still left of the "Bytes Received:" text.
        const int labelText = form.Label1->x() + form.Label1->width() -
                              form.Label1->fontMetrics().horizontalAdvance(form.Label1->text());
        QVERIFY(form.PacketsReceived->geometry().right() < labelText);
    }

    void busyPortAtStartUpIsToldAndTheWindowLives() {
        QUdpSocket other;
        QVERIFY(other.bind(QHostAddress::AnyIPv4, 0));
        writeSettings(QByteArray::number(other.localPort()) + ",2985,7815,1200,900");
        MainForm form;
        form.Form_Load();
        QVERIFY(!form.DudUDP.isBound());
        QMessageBox *box = visibleMessage();
        QVERIFY(box);
        QCOMPARE(box->windowTitle(), QStringLiteral("Zar-Are"));
        QVERIFY(box->text().startsWith(QStringLiteral("Port %1 could not be opened").arg(other.localPort())));
        QCOMPARE(box->standardButtons(), QMessageBox::Ok);
    }
};

ZARARE_TEST(MainFormTest)
#include "MainFormTest.moc"
