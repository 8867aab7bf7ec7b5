#include "TestRegistry.h"
#include "registry/PathToolRegistry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
const QByteArray toolKey("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");

// Reads the tool's value as the About box does: open, query into 1024 bytes, close.
long readTool(Registry &registry, quint32 &type, QByteArray &data) {
    Registry::Key key = 0;
    long result = registry.openKey(Registry::LocalMachine, toolKey, Registry::KeyRead, key);
    if (result != Registry::Success)
        return result;
    data = QByteArray(1024, '\0');
    quint32 size = 1024;
    result = registry.queryValue(key, "PATH", type, data.data(), size);
    data.truncate(result == Registry::Success ? int(size) : 0);
    if (registry.closeKey(key) != Registry::Success)
        return -1;
    return result;
}
} // namespace

class RegistryTest : public QObject {
    Q_OBJECT

    QTemporaryDir root;

    // Makes "a/name" (an executable file), "a/name:plain" (a file that is not executable) or
    // "a/name/" (a folder) below the test's folder.
    void make(const QString &entry) {
        const QString path = root.filePath(entry.section(QLatin1Char(':'), 0, 0));
        if (path.endsWith(QLatin1Char('/'))) {
            QVERIFY(QDir().mkpath(path));
            return;
        }
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n");
        file.close();
        if (!entry.endsWith(QLatin1String(":plain")))
            QVERIFY(file.setPermissions(file.permissions() | QFile::ExeOwner | QFile::ExeUser));
    }

private slots:
    void initTestCase() {
#ifdef Q_OS_WIN
        QSKIP("Windows has a registry of its own");
#endif
        QVERIFY(root.isValid());
    }

    // Each row in a folder of its own, named by the row.
    void findsTheFirstToolOnThePath_data() {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("searchPath"); // folders below the row's folder
        QTest::addColumn<bool>("fromEnvironment");   // the search path given as PATH
        QTest::addColumn<QString>("found");          // below the row's folder; empty: none
        using L = QStringList;
        QTest::newRow("one tool") << L{"a/hardinfo"} << L{"a"} << false << "a/hardinfo";
        QTest::newRow("preferred tool later")
            << L{"a/lshw-gtk", "b/hardinfo2"} << L{"a", "b"} << false << "b/hardinfo2";
        QTest::newRow("same tool twice")
            << L{"a/kinfocenter", "b/kinfocenter"} << L{"a", "b"} << false << "a/kinfocenter";
        QTest::newRow("not executable")
            << L{"a/hardinfo:plain", "b/cpu-x"} << L{"a", "b"} << false << "b/cpu-x";
        QTest::newRow("folder of a tool's name") << L{"a/hardinfo/"} << L{"a"} << false << "";
        QTest::newRow("other programs only") << L{"a/sh"} << L{"a"} << false << "";
        QTest::newRow("tool outside the path") << L{"a/cpu-x"} << L{"b"} << false << "";
        QTest::newRow("PATH") << L{"b/hardinfo"} << L{"nothing", "b"} << true << "b/hardinfo";
    }
    void findsTheFirstToolOnThePath() {
        QFETCH(QStringList, entries);
        QFETCH(QStringList, searchPath);
        QFETCH(bool, fromEnvironment);
        QFETCH(QString, found);
        const QString row = QString::fromLatin1(QTest::currentDataTag()) + QLatin1Char('/');
        for (const QString &entry : entries)
            make(row + entry);
        QStringList folders;
        for (const QString &folder : searchPath)
            folders << root.filePath(row + folder);
        const QString path = folders.join(QDir::listSeparator());
        const QByteArray saved = qgetenv("PATH");
        qputenv("PATH", fromEnvironment ? QFile::encodeName(path) : saved);
        const auto registry =
            fromEnvironment ? std::make_unique<PathToolRegistry>() : std::make_unique<PathToolRegistry>(path);
        quint32 type = 0;
        QByteArray data;
        const long result = readTool(*registry, type, data);
        qputenv("PATH", saved);
        if (found.isEmpty()) {
            QCOMPARE(result, Registry::FileNotFound);
            return;
        }
        QCOMPARE(result, Registry::Success);
        QCOMPARE(type, Registry::String);
        QCOMPARE(data, QFile::encodeName(root.filePath(row + found)) + '\0');
    }

    void knowsNoOtherValue() {
        make(QStringLiteral("only/hardinfo"));
        PathToolRegistry registry(root.filePath(QStringLiteral("only")));
        Registry::Key key = 0;
        QCOMPARE(registry.openKey(Registry::LocalMachine, "SOFTWARE\\Microsoft\\Shared Tools Location",
                                  Registry::KeyRead, key),
                 Registry::FileNotFound);
        QCOMPARE(registry.openKey(0x80000001u, toolKey, Registry::KeyRead, key), Registry::FileNotFound);
        QCOMPARE(registry.openKey(Registry::LocalMachine, "software\\microsoft\\shared tools\\msinfo",
                                  Registry::KeyRead, key),
                 Registry::Success);
        char data[1024];
        quint32 type = 0;
        quint32 size = sizeof data;
        QCOMPARE(registry.queryValue(key, "MSINFO", type, data, size), Registry::FileNotFound);

        // A buffer too small for the path: the value's length comes back with MoreData.
        const QByteArray expected = QFile::encodeName(root.filePath(QStringLiteral("only/hardinfo"))) + '\0';
        size = 4;
        QCOMPARE(registry.queryValue(key, "path", type, data, size), Registry::MoreData);
        QCOMPARE(size, quint32(expected.size()));
        QCOMPARE(registry.closeKey(key), Registry::Success);
    }
};

ZARARE_TEST(RegistryTest)
#include "RegistryTest.moc"
