#ifdef _WIN32
#include "TestRegistry.h"
#include "about/frmAbout.h"
#include "desktop/LoadedForms.h"
#include "registry/Registry.h"

#include <QTest>

#include <windows.h>

namespace {
const char *const testKey = "Software\\Zar-Are about tests";
constexpr quint32 currentUser = 0x80000001u;

// The system registry as the About box sees it, keeping the last key it was given.
class KeptKeyRegistry : public Registry {
public:
    long openKey(quint32 root, const QByteArray &path, quint32 access, Key &key) override {
        const long result = Registry::system().openKey(root, path, access, key);
        lastAccess = access;
        return result;
    }
    long queryValue(Key key, const QByteArray &name, quint32 &type, char *data, quint32 &size) override {
        // Tries to write through the handle first: a key opened for reading only refuses.
        const char text[] = "changed";
        writeResult = RegSetValueExA(reinterpret_cast<HKEY>(key), name.constData(), 0, REG_SZ,
                                     reinterpret_cast<const BYTE *>(text), sizeof text);
        return Registry::system().queryValue(key, name, type, data, size);
    }
    long closeKey(Key key) override { return Registry::system().closeKey(key); }

    quint32 lastAccess = 0;
    long writeResult = ERROR_SUCCESS;
};
} // namespace

// The About box's lookup against the Windows registry itself (Wine's, under Wine).
class SystemRegistryTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        delete frmAbout::instance();
        frmAbout::setRegistry(nullptr);
        RegDeleteKeyA(HKEY_CURRENT_USER, testKey);
        QCOMPARE(LoadedForms::count(), 0);
    }

    void readsValuesThroughAKeyOpenedForReading_data() {
        QTest::addColumn<DWORD>("type");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("text");
        QTest::newRow("string") << DWORD(REG_SZ) << QByteArray("C:\\Tools\\info.exe", 18) << true
                                << QStringLiteral("C:\\Tools\\info.exe");
        QTest::newRow("dword") << DWORD(REG_DWORD) << QByteArray("\x1F\0\0\0", 4) << true << "&h1F";
        QTest::newRow("longer than the buffer")
            << DWORD(REG_BINARY) << QByteArray(1025, 'x') << false << QString();
    }
    void readsValuesThroughAKeyOpenedForReading() {
        QFETCH(DWORD, type);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, found);
        HKEY made = nullptr;
        QCOMPARE(RegCreateKeyExA(HKEY_CURRENT_USER, testKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &made,
                                 nullptr),
                 LONG(ERROR_SUCCESS));
        RegSetValueExA(made, "PATH", 0, type, reinterpret_cast<const BYTE *>(bytes.constData()),
                       DWORD(bytes.size()));
        RegCloseKey(made);

        KeptKeyRegistry registry;
        frmAbout::setRegistry(&registry);
        QString value = QStringLiteral("before");
        QCOMPARE(frmAbout::load()->GetKeyValue(currentUser, QString::fromLatin1(testKey),
                                               QStringLiteral("PATH"), value),
                 found);
        QTEST(value, "text");
        QCOMPARE(registry.lastAccess, quint32(KEY_READ));
        QCOMPARE(registry.writeResult, long(ERROR_ACCESS_DENIED));
    }
};

ZARARE_TEST(SystemRegistryTest)
#include "SystemRegistryTest.moc"
#endif
