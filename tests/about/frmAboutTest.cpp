#include "about/frmAbout.h"
#include "TestRegistry.h"
#include "desktop/AppIcon.h"
#include "desktop/LoadedForms.h"
#include "registry/MemoryRegistry.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
const QByteArray toolKey("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QByteArray folderKey("SOFTWARE\\Microsoft\\Shared Tools Location");
constexpr quint32 noValue = 0;

QList<QMessageBox *> unavailableBoxes(const frmAbout *form) {
    return form->findChildren<QMessageBox *>(QStringLiteral("sysInfoUnavailable"));
}
} // namespace

class frmAboutTest : public QObject {
    Q_OBJECT

    std::unique_ptr<MemoryRegistry> registry;
    QStringList launched;

    static frmAbout *showAbout() {
        frmAbout::showModeless();
        frmAbout *form = frmAbout::instance();
        if (form && !QTest::qWaitForWindowExposed(form))
            return nullptr;
        return form;
    }

private slots:
    void init() {
        registry = std::make_unique<MemoryRegistry>();
        launched.clear();
        frmAbout::setRegistry(registry.get());
        // Stands in for the system: records the program and starts only what is an existing file.
        frmAbout::setLauncher([this](const QString &program) {
            launched << program;
            return QFileInfo(program).isFile();
        });
    }

    void cleanup() {
        delete frmAbout::instance();
        frmAbout::setRegistry(nullptr);
        frmAbout::setLauncher({});
        QCOMPARE(LoadedForms::count(), 0);
    }

    void loadShowsCaptionTitleVersionAndIcon() {
        frmAbout *form = showAbout();
        QVERIFY(form);
        QCOMPARE(LoadedForms::count(), 1);
        QCOMPARE(form->windowTitle(), QStringLiteral("About Zar-Are"));
        QCOMPARE(form->lblTitle->text(), QStringLiteral("Zar-Are"));
        QCOMPARE(form->lblVersion->text(), QStringLiteral("Version 1.2.1"));
        QVERIFY(form->lblDescription->text().startsWith(QStringLiteral("Monitors Dud 5 readings")));
        QCOMPARE(form->cmdSysInfo->text(), QStringLiteral("&System Info..."));
        for (const char *name :
             {"lblTitle", "lblVersion", "lblDescription", "picIcon", "cmdSysInfo", "cmdOK"})
            QVERIFY2(form->findChild<QWidget *>(QLatin1String(name)), name);

        const QList<QSize> sizes = form->windowIcon().availableSizes();
        QVERIFY(sizes.contains(QSize(16, 16)) && sizes.contains(QSize(32, 32)));
        const QPixmap picture = form->picIcon->pixmap();
        QCOMPARE(picture.size(), QSize(32, 32));
        QCOMPARE(picture.toImage(), AppIcon::icon().pixmap(32, 32).toImage());

        QCOMPARE(form->minimumSize(), form->maximumSize());
        QVERIFY(!(form->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QVERIFY(!form->parentWidget() && !form->isModal());
        QCOMPARE(frmAbout::versionLine(1, 10, 7), QStringLiteral("Version 1.10.7"));
        QCOMPARE(frmAbout::versionLine(12, 0, 345), QStringLiteral("Version 12.0.345"));
    }

    void closingDestroysTheDialog_data() {
        QTest::addColumn<int>("key"); // 0: the OK button, -1: the close box
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
        QTest::newRow("Escape") << int(Qt::Key_Escape);
        QTest::newRow("OK") << 0;
        QTest::newRow("close box") << -1;
    }
    void closingDestroysTheDialog() {
        QFETCH(int, key);
        frmAbout *form = showAbout();
        QVERIFY(form);
        QVERIFY(QTest::qWaitForWindowActive(form));
        if (key > 0)
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : form, Qt::Key(key));
        else if (key == 0)
            QTest::mouseClick(form->cmdOK, Qt::LeftButton);
        else
            form->close();
        QTRY_VERIFY(!frmAbout::instance());
        QCOMPARE(LoadedForms::count(), 0);
        QVERIFY(launched.isEmpty());
    }

    void secondAboutLeavesOneDialogAndNextLoadsAfresh() {
        frmAbout *first = showAbout();
        QVERIFY(first);
        frmAbout::showModeless();
        QCOMPARE(frmAbout::instance(), first);
        int dialogs = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            dialogs += qobject_cast<frmAbout *>(w) != nullptr;
        QCOMPARE(dialogs, 1);
        QCOMPARE(LoadedForms::count(), 1);

        first->cmdOK->click();
        QTRY_VERIFY(!frmAbout::instance());
        const QString title = QApplication::applicationDisplayName();
        QApplication::setApplicationDisplayName(QStringLiteral("Renamed"));
        frmAbout *second = showAbout();
        QApplication::setApplicationDisplayName(title);
        QVERIFY(second);
        QCOMPARE(second->windowTitle(), QStringLiteral("About Renamed"));
        QCOMPARE(second->lblTitle->text(), QStringLiteral("Renamed"));
    }

    void altSRunsTheSearchAndTabLeadsToIt() {
        registry->setValue(Registry::LocalMachine, toolKey, "PATH", Registry::String, "/opt/info/tool");
        frmAbout *form = showAbout();
        QVERIFY(form);
        QVERIFY(QTest::qWaitForWindowActive(form));
        QCOMPARE(QApplication::focusWidget(), form->cmdOK);
        QTest::keyClick(form->cmdOK, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), form->cmdSysInfo);
        QTest::keyClick(form, Qt::Key_S, Qt::AltModifier);
        QTRY_COMPARE(launched, QStringList{QStringLiteral("/opt/info/tool")});
    }

    void getKeyValue_data() {
        QTest::addColumn<quint32>("type");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("value");
        QTest::addColumn<long>("refusal"); // the key exists and holds PATH, but does not open
        const QString before = QStringLiteral("before"), text(QStringLiteral("C:\\Tools\\info.exe"));
        const QByteArray path = text.toLatin1();
        using R = Registry;
        // clang-format off
        QTest::newRow("string with terminator") << R::String << path + '\0' << true << text << R::Success;
        QTest::newRow("string without terminator") << R::String << path << true << text << R::Success;
        QTest::newRow("terminator only") << R::String << QByteArray(1, '\0') << true << QString() << R::Success;
        QTest::newRow("1024 bytes with terminator") << R::String << QByteArray(1023, 'a') + '\0' << true << QString(1023, 'a') << R::Success;
        QTest::newRow("1024 bytes without terminator") << R::String << QByteArray(1024, 'a') << true << QString(1024, 'a') << R::Success;
        QTest::newRow("1025 bytes") << R::String << QByteArray(1025, 'a') << false << QString() << R::Success;
        QTest::newRow("no bytes") << R::String << QByteArray() << false << QString() << R::Success;
        QTest::newRow("missing value") << noValue << QByteArray() << false << QString() << R::Success;
        QTest::newRow("dword 0x1F") << R::Dword << QByteArray("\x1F\0\0\0", 4) << true << "&h1F" << R::Success;
        QTest::newRow("dword zero") << R::Dword << QByteArray(4, '\0') << true << "&h0" << R::Success;
        QTest::newRow("dword inner zeros") << R::Dword << QByteArray("\0\0\1\0", 4) << true << "&h10000" << R::Success;
        QTest::newRow("dword all bits") << R::Dword << QByteArray("\xEF\xBE\xAD\xDE", 4) << true << "&hDEADBEEF" << R::Success;
        QTest::newRow("expandable string") << R::ExpandString << path + '\0' << true << before << R::Success;
        QTest::newRow("binary") << R::Binary << QByteArray("\1\2", 2) << true << before << R::Success;
        QTest::newRow("binary of no bytes") << R::Binary << QByteArray() << false << QString() << R::Success;
        QTest::newRow("missing key") << noValue << QByteArray() << false << QString() << R::FileNotFound;
        QTest::newRow("access denied") << R::String << path << false << QString() << R::AccessDenied;
        // clang-format on
    }
    void getKeyValue() {
        QFETCH(quint32, type);
        QFETCH(QByteArray, stored);
        QFETCH(long, refusal);
        if (refusal != Registry::FileNotFound)
            registry->addKey(Registry::LocalMachine, toolKey);
        if (type != noValue)
            registry->setValue(Registry::LocalMachine, toolKey, "PATH", type, stored);
        if (refusal == Registry::AccessDenied)
            registry->refuseOpen(Registry::LocalMachine, toolKey, refusal);

        QString keyVal = QStringLiteral("before");
        QTEST(frmAbout::load()->GetKeyValue(Registry::LocalMachine, QString::fromLatin1(toolKey),
                                            QStringLiteral("PATH"), keyVal),
              "found");
        QTEST(keyVal, "value");
        QCOMPARE(registry->openRequests().size(), 1);
        QCOMPARE(registry->opened(), refusal == Registry::Success ? 1 : 0);
        QCOMPARE(registry->closed(), registry->opened());
        QCOMPARE(registry->lastAccess(), Registry::KeyRead);
    }

    void startSysInfo_data() {
        QTest::addColumn<quint32>("pathType");
        QTest::addColumn<QByteArray>("pathData"); // $DIR stands for a folder of the test
        QTest::addColumn<bool>("folderValue");    // "MSINFO" names that folder
        QTest::addColumn<int>("toolInFolder");    // 0 none, 1 a file MSINFO32.EXE, 2 a folder of that name
        QTest::addColumn<QString>(
            "program"); // what is started ("-": nothing); $DIR as above, $SEP the separator
        QTest::addColumn<bool>("message");
        QTest::addColumn<bool>("folderAsked");
        const QByteArray tool("$DIR/tool");
        const QString inFolder = QStringLiteral("$DIR$SEPMSINFO32.EXE");
        // clang-format off
        QTest::newRow("PATH names the tool") << Registry::String << tool + '\0' << true << 1 << "$DIR/tool" << false << false;
        QTest::newRow("PATH without terminator") << Registry::String << tool << true << 1 << "$DIR/tool" << false << false;
        QTest::newRow("PATH names a missing file") << Registry::String << QByteArray("$DIR/missing\0", 13) << true << 1 << "$DIR/missing" << true << false;
        QTest::newRow("PATH expandable: empty path, no fallback") << Registry::ExpandString << tool + '\0' << true << 1 << "" << true << false;
        QTest::newRow("PATH as a number") << Registry::Dword << QByteArray("\x1F\0\0\0", 4) << true << 1 << "&h1F" << true << false;
        QTest::newRow("PATH of no bytes: no fallback") << Registry::String << QByteArray() << true << 1 << "-" << true << false;
        QTest::newRow("PATH of 1025 bytes: folder with the tool") << Registry::String << QByteArray(1025, 'a') << true << 1 << inFolder << false << true;
        QTest::newRow("folder with the tool") << noValue << QByteArray() << true << 1 << inFolder << false << true;
        QTest::newRow("folder without the tool") << noValue << QByteArray() << true << 0 << "-" << true << true;
        QTest::newRow("folder with a folder named as the tool") << noValue << QByteArray() << true << 2 << "-" << true << true;
        QTest::newRow("neither value") << noValue << QByteArray() << false << 0 << "-" << true << true;
        // clang-format on
    }
    void startSysInfo() {
        QFETCH(quint32, pathType);
        QFETCH(QByteArray, pathData);
        QFETCH(bool, folderValue);
        QFETCH(int, toolInFolder);
        QFETCH(QString, program);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile toolFile(dir.filePath(QStringLiteral("tool")));
        QVERIFY(toolFile.open(QIODevice::WriteOnly));
        QFile msinfo(dir.filePath(QStringLiteral("MSINFO32.EXE")));
        QVERIFY(toolInFolder == 0 || (toolInFolder == 1 ? msinfo.open(QIODevice::WriteOnly)
                                                        : QDir(dir.path()).mkdir(msinfo.fileName())));
        pathData.replace("$DIR", QFile::encodeName(dir.path()));
        program.replace(QStringLiteral("$DIR"), dir.path())
            .replace(QStringLiteral("$SEP"), QDir::separator());

        registry->addKey(Registry::LocalMachine, toolKey);
        if (pathType != noValue)
            registry->setValue(Registry::LocalMachine, toolKey, "PATH", pathType, pathData);
        if (folderValue)
            registry->setValue(Registry::LocalMachine, folderKey, "MSINFO", Registry::String,
                               QFile::encodeName(QDir::toNativeSeparators(dir.path())) + '\0');
        frmAbout *form = showAbout();
        QVERIFY(form);
        form->cmdSysInfo->click();

        // The path is started as the registry gives it; Windows takes either separator.
        for (QString &path : launched)
            path = QDir::fromNativeSeparators(path);
        QCOMPARE(launched, program == QLatin1String("-") ? QStringList{}
                                                         : QStringList{QDir::fromNativeSeparators(program)});
        QTEST(unavailableBoxes(form).size() == 1, "message");
        QTEST(registry->openRequests().contains(folderKey), "folderAsked");
        QCOMPARE(registry->openKeys(), 0);
        QCOMPARE(registry->closed(), registry->opened());
        QVERIFY(form->isVisible());
    }

    // The system's own launcher, given a program that is not there: the message, and the dialog stays.
    void failedStartShowsTheUnavailableMessage() {
        QTemporaryDir dir;
        registry->setValue(Registry::LocalMachine, toolKey, "PATH", Registry::String,
                           QFile::encodeName(dir.filePath(QStringLiteral("missing"))) + '\0');
        frmAbout::setLauncher({});
        frmAbout *form = showAbout();
        QVERIFY(form);
        form->StartSysInfo();
        const QList<QMessageBox *> boxes = unavailableBoxes(form);
        QCOMPARE(boxes.size(), 1);
        QMessageBox *box = boxes.first();
        QVERIFY(box->isVisible());
        QCOMPARE(box->text(), QStringLiteral("System Information Is Unavailable At This Time"));
        QCOMPARE(box->windowTitle(), QStringLiteral("Zar-Are"));
        QCOMPARE(box->icon(), QMessageBox::NoIcon);
        QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(box->windowModality(), Qt::ApplicationModal);
        box->button(QMessageBox::Ok)->click();
        QTRY_VERIFY(unavailableBoxes(form).isEmpty());
        QCOMPARE(frmAbout::instance(), form);
        QVERIFY(form->isVisible());
    }
};

ZARARE_TEST(frmAboutTest)
#include "frmAboutTest.moc"
