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
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#ifdef Q_OS_WIN
#include <tuple>
#include <windows.h>
#endif

namespace {
const char toolKey[] = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const char folderKey[] = "SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr quint32 noValue = 0;

#ifdef Q_OS_WIN
const char *const testKey = "Software\\Zar-Are about tests";

// The system registry as the About box sees it, trying to write through each key it reads from.
class WriteProbe : public Registry {
public:
    long openKey(quint32 root, const QByteArray &path, quint32 access, Key &key) override {
        return Registry::system().openKey(root, path, access, key);
    }
    long queryValue(Key key, const QByteArray &name, quint32 &type, char *data, quint32 &size) override {
        writeResult = RegSetValueA(reinterpret_cast<HKEY>(key), nullptr, REG_SZ, "changed", 7);
        return Registry::system().queryValue(key, name, type, data, size);
    }
    long closeKey(Key key) override { return Registry::system().closeKey(key); }

    long writeResult = ERROR_SUCCESS;
};
#endif
} // namespace

class frmAboutTest : public QObject {
    Q_OBJECT

    std::unique_ptr<MemoryRegistry> registry;
    QStringList launched;
    frmAbout *form = nullptr; // the one shown last

    bool showAbout() {
        frmAbout::showModeless();
        form = frmAbout::instance();
        return form && QTest::qWaitForWindowActive(form);
    }

private slots:
    void init() {
        registry = std::make_unique<MemoryRegistry>();
        launched.clear();
        frmAbout::setRegistry(registry.get());
        // Stands in for the system: records the program (Windows takes either separator) and starts only
        // what is an existing file.
        frmAbout::setLauncher([this](const QString &program) {
            launched << QDir::fromNativeSeparators(program);
            return QFileInfo(program).isFile();
        });
    }

    void cleanup() {
        delete frmAbout::instance();
        frmAbout::setRegistry(nullptr);
        frmAbout::setLauncher({});
#ifdef Q_OS_WIN
        RegDeleteKeyA(HKEY_CURRENT_USER, testKey);
#endif
        QCOMPARE(LoadedForms::count(), 0);
    }

    // A modeless, fixed-size dialog with the program's name, version and icon, OK focused and the tool's
    // button next; once closed, the next one loads afresh.
    void showsTheProgram() {
        QVERIFY(showAbout());
        QCOMPARE(form->windowTitle() + '|' + form->lblTitle->text(), QStringLiteral("About Zar-Are|Zar-Are"));
        QCOMPARE(form->lblVersion->text(), QStringLiteral("Version 1.2.1"));
        QCOMPARE(frmAbout::versionLine(12, 0, 345), QStringLiteral("Version 12.0.345"));
        QVERIFY(form->lblDescription->text().startsWith(QStringLiteral("Monitors Dud 5 readings")));
        const QList<QSize> sizes = form->windowIcon().availableSizes();
        QVERIFY(sizes.contains(QSize(16, 16)) && sizes.contains(QSize(32, 32)));
        QCOMPARE(form->picIcon->pixmap().toImage(), AppIcon::icon().pixmap(32, 32).toImage());
        QCOMPARE(form->minimumSize(), form->maximumSize());
        QVERIFY(!form->parentWidget() && !form->isModal());
        QCOMPARE(QApplication::focusWidget(), form->cmdOK);
        QTest::keyClick(form->cmdOK, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), form->cmdSysInfo);

        form->cmdOK->click();
        QTRY_VERIFY(!frmAbout::instance());
        const QString title = QApplication::applicationDisplayName();
        QApplication::setApplicationDisplayName(QStringLiteral("Renamed"));
        const bool shown = showAbout();
        QApplication::setApplicationDisplayName(title);
        QVERIFY(shown);
        QCOMPARE(form->windowTitle() + '|' + form->lblTitle->text(), QStringLiteral("About Renamed|Renamed"));
    }

    // Enter, Escape and the close box close and destroy the dialog and start nothing; Alt+S starts the
    // tool and the dialog stays.
    void keys_data() {
        QTest::addColumn<QString>("key"); // "close": the close box
        for (const char *key : {"Return", "Esc", "close", "Alt+S"})
            QTest::newRow(key) << key;
    }
    void keys() {
        QFETCH(QString, key);
        registry->setValue(Registry::LocalMachine, toolKey, "PATH", Registry::String, "/opt/info/tool");
        QVERIFY(showAbout());
        if (key == QLatin1String("close"))
            form->close();
        else
            QTest::keySequence(form->focusWidget(), QKeySequence(key));
        const bool starts = key == QLatin1String("Alt+S");
        QTRY_COMPARE(launched, starts ? QStringList{QStringLiteral("/opt/info/tool")} : QStringList{});
        QTRY_COMPARE(bool(frmAbout::instance()), starts);
    }

    // What the registry holds, what GetKeyValue reads of it, and what the tool's button starts: the PATH
    // value as read, or else MSINFO32.EXE in the folder MSINFO names. The unavailable message comes
    // exactly when nothing was started.
    void sysInfo_data() {
        QTest::addColumn<quint32>("type");      // of PATH (noValue: none)
        QTest::addColumn<QByteArray>("stored"); // $DIR stands for a folder of the test, which holds "tool"
        // MSINFO (0: none, else it names $DIR, which holds 1: the tool, 2: a folder named as the tool);
        // "denied" when the PATH key cannot be opened; the outcome (1 found, 0 missing: the folder is asked,
        // -1 unusable); what GetKeyValue leaves of "before"; what is started ("-" nothing, "=" the value
        // read; $SEP the separator); "system" when the system's own launcher starts it
        QTest::addColumn<QString>("table");
        const QByteArray tool("$DIR/tool"), a1024(1024, 'a');
        using R = Registry;
        // clang-format off
        QTest::newRow("string with terminator") << R::String << tool + '\0' << "1;;1;$DIR/tool;=";
        QTest::newRow("the system's launcher, missing file") << R::String << QByteArray("$DIR/missing\0", 13) << "1;;1;$DIR/missing;-;system";
        QTest::newRow("terminator only") << R::String << QByteArray(1, '\0') << "1;;1;;=";
        QTest::newRow("1024 bytes without terminator") << R::String << a1024 << "1;;1;" + QString::fromLatin1(a1024) + ";=";
        QTest::newRow("1025 bytes: the folder's tool") << R::String << a1024 + 'a' << "1;;0;;$DIR$SEPMSINFO32.EXE";
        QTest::newRow("no bytes: no fallback") << R::String << QByteArray() << "1;;-1;;-";
        QTest::newRow("dword zero") << R::Dword << QByteArray(4, '\0') << "1;;1;&h0;=";
        QTest::newRow("dword inner zeros") << R::Dword << QByteArray("\0\0\1\0", 4) << "1;;1;&h10000;=";
        QTest::newRow("dword all bits") << R::Dword << QByteArray("\xEF\xBE\xAD\xDE", 4) << "1;;1;&hDEADBEEF;=";
        QTest::newRow("expandable: empty path, no fallback") << R::ExpandString << tool + '\0' << "1;;1;before;";
        QTest::newRow("folder with a folder named as the tool") << noValue << QByteArray() << "2;;0;;-";
        QTest::newRow("neither value") << noValue << QByteArray() << "0;;0;;-";
        QTest::newRow("access denied: the folder's tool") << R::String << tool + '\0' << "1;denied;0;;$DIR$SEPMSINFO32.EXE";
        // clang-format on
    }
    void sysInfo() {
        QFETCH(quint32, type);
        QFETCH(QByteArray, stored);
        QFETCH(QString, table);
        QTemporaryDir dir;
        const auto t = table.replace("$DIR", dir.path()).replace("$SEP", QDir::separator()).split(u';');
        const int folder = t[0].toInt(), outcome = t[2].toInt();
        const QString info = dir.filePath(QStringLiteral("MSINFO32.EXE"));
        QVERIFY(QFile(dir.filePath("tool")).open(QIODevice::WriteOnly) &&
                (folder == 1 ? QFile(info).open(QIODevice::WriteOnly) : folder != 2 || QDir().mkdir(info)));
        stored.replace("$DIR", QFile::encodeName(dir.path()));
        if (t.size() > 5)
            frmAbout::setLauncher({});
        registry->addKey(Registry::LocalMachine, toolKey);
        if (type != noValue)
            registry->setValue(Registry::LocalMachine, toolKey, "PATH", type, stored);
        if (t[1] == QLatin1String("denied"))
            registry->refuseOpen(Registry::LocalMachine, toolKey, Registry::AccessDenied);
        if (folder)
            registry->setValue(Registry::LocalMachine, folderKey, "MSINFO", Registry::String,
                               QFile::encodeName(QDir::toNativeSeparators(dir.path())) + '\0');

        QVERIFY(showAbout());
        QString keyVal = QStringLiteral("before");
        QCOMPARE(form->GetKeyValue(Registry::LocalMachine, toolKey, "PATH", keyVal), outcome == 1);
        QCOMPARE(keyVal, t[3]);
        form->cmdSysInfo->click(); // the path is started as the registry gives it
        const QString program = QDir::fromNativeSeparators(t[4] == QLatin1String("=") ? t[3] : t[4]);
        QCOMPARE(launched, program == QLatin1String("-") ? QStringList{} : QStringList{program});
        QCOMPARE(registry->openRequests().contains(folderKey), outcome == 0);
        QCOMPARE(registry->lastAccess(), Registry::KeyRead);
        QCOMPARE(registry->openKeys(), 0);
        const auto boxes = form->findChildren<QMessageBox *>(QStringLiteral("sysInfoUnavailable"));
        QCOMPARE(boxes.size(), launched.isEmpty() || !QFileInfo(launched[0]).isFile() ? 1 : 0);
        if (QPointer<QMessageBox> box = boxes.value(0)) {
            QCOMPARE(box->windowTitle() + '|' + box->text(),
                     QStringLiteral("Zar-Are|System Information Is Unavailable At This Time"));
            QVERIFY(box->isVisible() && box->icon() == QMessageBox::NoIcon &&
                    box->standardButtons() == QMessageBox::Ok &&
                    box->windowModality() == Qt::ApplicationModal);
            box->button(QMessageBox::Ok)->click();
            QTRY_VERIFY(!box);
        }
        QVERIFY(frmAbout::instance() == form && form->isVisible()); // started or not, the dialog stays
    }

#ifdef Q_OS_WIN
    // The lookup against the Windows registry itself (Wine's, under Wine), through a key opened for
    // reading only: the write through it is refused.
    void systemRegistry() {
        HKEY made = nullptr;
        QCOMPARE(RegCreateKeyA(HKEY_CURRENT_USER, testKey, &made), LONG(ERROR_SUCCESS));
        WriteProbe probe;
        frmAbout::setRegistry(&probe);
        // name, type, bytes; what is read (nullptr: not found)
        const std::tuple<const char *, DWORD, QByteArray, const char *> values[] = {
            {"PATH", REG_SZ, QByteArray("C:\\Tools\\info.exe", 18), "C:\\Tools\\info.exe"},
            {"Number", REG_DWORD, QByteArray("\x1F\0\0\0", 4), "&h1F"},
            {"Longer than the buffer", REG_BINARY, QByteArray(1025, 'x'), nullptr}};
        for (const auto &[name, type, bytes, text] : values) {
            RegSetValueExA(made, name, 0, type, reinterpret_cast<const BYTE *>(bytes.constData()),
                           DWORD(bytes.size()));
            QString value = QStringLiteral("before");
            // 0x80000001: HKEY_CURRENT_USER as a 32-bit handle.
            QCOMPARE(frmAbout::load()->GetKeyValue(0x80000001u, testKey, name, value), text != nullptr);
            QCOMPARE(value, QString::fromLatin1(text));
            QCOMPARE(probe.writeResult, long(ERROR_ACCESS_DENIED));
        }
        RegCloseKey(made);
    }
#endif
};

ZARARE_TEST(frmAboutTest)
#include "frmAboutTest.moc"
