#include "TestRegistry.h"
#include "registry/PathToolRegistry.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
const QByteArray toolKey("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
} // namespace

class RegistryTest : public QObject {
    Q_OBJECT

    QTemporaryDir root;

    // Makes "a/name" (an executable file), "a/name:plain" (a file that is not executable) or
    // "a/name/" (a folder) below the test's folder.
    void make(const QString &entry) {
        const QString path = root.filePath(entry.section(QLatin1Char(':'), 0, 0));
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        if (path.endsWith(QLatin1Char('/')))
            return;
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("#!/bin/sh\n") > 0);
        if (!entry.endsWith(QLatin1String(":plain")))
            QVERIFY(file.setPermissions(file.permissions() | QFile::ExeOwner | QFile::ExeUser));
    }

private slots:
    void initTestCase() {
#ifdef Q_OS_WIN
        QSKIP("Windows has a registry of its own");
#endif
    }

    // Each row in a folder of its own, named by the row.
    void findsTheFirstToolOnThePath_data() {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("searchPath"); // folders below the row's folder
        QTest::addColumn<bool>("fromEnvironment");   // the search path given as PATH
        QTest::addColumn<QString>("found");          // below the row's folder; empty: none
        using L = QStringList;
        QTest::newRow("preferred tool later")
            << L{"a/lshw-gtk", "b/hardinfo2"} << L{"a", "b"} << false << "b/hardinfo2";
        QTest::newRow("same tool twice")
            << L{"a/kinfocenter", "b/kinfocenter"} << L{"a", "b"} << false << "a/kinfocenter";
        QTest::newRow("not executable")
            << L{"a/hardinfo:plain", "b/cpu-x"} << L{"a", "b"} << false << "b/cpu-x";
        QTest::newRow("folder of a tool's name") << L{"a/hardinfo/"} << L{"a"} << false << "";
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
        const auto restore = qScopeGuard([&] { qputenv("PATH", saved); });
        qputenv("PATH", fromEnvironment ? QFile::encodeName(path) : saved);
        const auto registry =
            fromEnvironment ? std::make_unique<PathToolRegistry>() : std::make_unique<PathToolRegistry>(path);
        // As the About box reads it: open, query into 1024 bytes, close. A value too long for them is
        // the About box's own case.
        Registry::Key key = 0;
        QCOMPARE(registry->openKey(Registry::LocalMachine, toolKey, Registry::KeyRead, key),
                 Registry::Success);
        char data[1024];
        quint32 type = 0, size = sizeof data;
        const long result = registry->queryValue(key, "PATH", type, data, size);
        QCOMPARE(registry->closeKey(key), Registry::Success);
        QCOMPARE(result, found.isEmpty() ? Registry::FileNotFound : Registry::Success);
        if (found.isEmpty())
            return;
        QCOMPARE(type, Registry::String);
        QCOMPARE(QByteArray(data, int(size)), QFile::encodeName(root.filePath(row + found)) + '\0');
    }

    // Only that key and value, their names in any case; the value is asked for with a tool installed.
    void knowsNoOtherValue() {
        make(QStringLiteral("hardinfo"));
        PathToolRegistry registry(root.path());
        Registry::Key key = 0;
        QCOMPARE(registry.openKey(Registry::LocalMachine, "SOFTWARE\\Microsoft\\Shared Tools Location",
                                  Registry::KeyRead, key),
                 Registry::FileNotFound);
        QCOMPARE(registry.openKey(0x80000001u, toolKey, Registry::KeyRead, key), Registry::FileNotFound);
        QCOMPARE(registry.openKey(Registry::LocalMachine, "software\\microsoft\\shared tools\\msinfo",
                                  Registry::KeyRead, key),
                 Registry::Success);
        char data[1024];
        quint32 type = 0, size = sizeof data;
        QCOMPARE(registry.queryValue(key, "MSINFO", type, data, size), Registry::FileNotFound);
        QCOMPARE(registry.queryValue(key, "path", type, data, size), Registry::Success);
    }
};

ZARARE_TEST(RegistryTest)
#include "RegistryTest.moc"
