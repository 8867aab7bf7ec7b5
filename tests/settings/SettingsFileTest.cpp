#include "settings/SettingsFile.h"
#include "TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#ifndef Q_OS_WIN
#include <sys/mount.h>
#include <unistd.h>
#endif

// Start-up and Save with the stored record (damaged files, the bytes written, a folder that cannot be
// written) are checked through the main window; the fuzzer reads every kind of file.
class SettingsFileTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    // Permission bits do not stop a Windows user: there the cases that need them are passed over, as
    // for root.
    static bool root() {
#ifdef Q_OS_WIN
        return true;
#else
        return ::geteuid() == 0;
#endif
    }

    QString fileWith(const QByteArray &bytes, const QString &name = QStringLiteral("Zar-Are.ini")) {
        const QString p = dir.filePath(name);
        QFile f(p);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() ? p : QString();
    }

private slots:
    void cleanup() {
        QFile::setPermissions(dir.path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(dir.path());
    }

    // Beside the program, with the system's own separators.
    void pathIsBesideTheProgram() {
        QCOMPARE(SettingsFile::path(), QDir::toNativeSeparators(QCoreApplication::applicationDirPath() +
                                                                QStringLiteral("/Zar-Are.ini")));
    }

    void installedCopiesKeepSettingsWithTheUser() {
        const QString program = dir.filePath(QStringLiteral("bin"));
        QVERIFY(QDir().mkpath(program));
        const QString user = dir.filePath(QStringLiteral("config"));
        QCOMPARE(SettingsFile::resolveFolder(program, {QStringLiteral("/usr/bin")}, user), program);
        QCOMPARE(SettingsFile::resolveFolder(program, {QString(), program + QStringLiteral("/")}, user),
                 user);
        QCOMPARE(SettingsFile::resolveFolder(dir.filePath(QStringLiteral("absent")), {}, user), user);
        if (!root()) { // an empty folder: removed again by cleanup() however its bits are
            QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
            QCOMPARE(SettingsFile::resolveFolder(program, {}, user), user);
        }

        // The user's folder is made on the first write.
        QStandardPaths::setTestModeEnabled(true);
        const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
        QDir(config).removeRecursively();
        QString reason;
        const bool written = SettingsFile::write(config + QStringLiteral("/Zar-Are.ini"),
                                                 {"514", "1", "2", "3", "4"}, &reason);
        QStandardPaths::setTestModeEnabled(false);
        QVERIFY2(written && QFile::exists(config + QStringLiteral("/Zar-Are.ini")), qPrintable(reason));
        QDir(config).removeRecursively();
    }

    // A hidden file is no settings file.
    void hiddenFileIsMissing() {
        QVERIFY(!SettingsFile::FileExists(fileWith("x", QStringLiteral(".hidden"))));
    }

    void reading_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("port");
        using S = SettingsFile::Status;
        QTest::newRow("over lines, trailing fields")
            << QByteArray("\"5514\"\r\n2985\n7815,1200\r\n900,9,9") << int(S::Complete) << "5514";
        QTest::newRow("port is text") << QByteArray("  abc,2985,7815,1200,900") << int(S::Complete) << "abc";
        QTest::newRow("not a number") << QByteArray("514,2985,wide,1200,900") << int(S::Damaged) << "";
        QTest::newRow("beyond single range")
            << QByteArray("514,1E+39,7815,1200,900") << int(S::Damaged) << "";
        // Only the first 64 KiB of a file are read: a record after them is not found.
        QTest::newRow("record after 64 KiB of spaces")
            << QByteArray(SettingsFile::MaxBytes, ' ') + "514,2985,7815,1200,900" << int(S::Damaged) << "";
    }
    void reading() {
        QFETCH(QByteArray, bytes);
        const auto result = SettingsFile::read(fileWith(bytes));
        QTEST(int(result.status), "status");
        if (result.status == SettingsFile::Status::Complete)
            QTEST(result.record.port, "port");
    }

    // The fields are written as they are: a port with a comma shifts every later field on the next read.
    void writtenUnquoted() {
        const QString p = dir.filePath(QStringLiteral("Zar-Are.ini"));
        QString reason;
        QVERIFY2(SettingsFile::write(p, {QStringLiteral("5,14"), "1000", "5000", "-120.5", "0"}, &reason),
                 qPrintable(reason));
        const auto read = SettingsFile::read(p);
        QCOMPARE(read.status, SettingsFile::Status::Complete);
        QCOMPARE((QStringList{read.record.port, read.record.height, read.record.left}),
                 (QStringList{"5", "14", "-120.5"}));
        QCOMPARE(read.geometry[3], -120.5f);
    }

    // A file that cannot be replaced: the write says why, and the old file (or folder) is left as it was,
    // with no temporary file beside it.
    void refusedWrites_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("status");  // of a read before the write
        QTest::addColumn<bool>("asUser"); // root is not stopped by permission bits
        using S = SettingsFile::Status;
        QTest::newRow("read-only folder") << "read-only folder" << int(S::Complete) << true;
        QTest::newRow("read-only file") << "read-only file" << int(S::Complete) << true;
        QTest::newRow("unreadable file") << "unreadable file" << int(S::Unreadable) << true;
        QTest::newRow("folder of its name") << "folder" << int(S::Missing) << false;
        // Halfway through the write: a tiny file system mounted for the test (root only).
        QTest::newRow("full disk") << "full disk" << int(S::Complete) << false;
#ifdef Q_OS_WIN
        QTest::newRow("held open by another program") << "held open" << int(S::Complete) << false;
#endif
    }
    void refusedWrites() {
        QFETCH(QString, setup);
        QFETCH(bool, asUser);
        if (asUser && root())
            QSKIP("root is not stopped by permission bits");
        const bool full = setup == QLatin1String("full disk");
        const QString folder = full ? dir.filePath(QStringLiteral("small")) : dir.path();
        if (full) {
#ifdef Q_OS_WIN
            QSKIP("no small file system can be mounted on Windows");
#else
            if (!root())
                QSKIP("mounting a small file system needs root");
            QVERIFY(QDir().mkpath(folder));
            if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=16k") != 0)
                QSKIP("tmpfs cannot be mounted here");
#endif
        }
        const auto unmount = qScopeGuard([&] {
#ifndef Q_OS_WIN
            if (full)
                ::umount(QFile::encodeName(folder).constData());
#endif
        });
        const QString p = fileWith("514,2985,7815,1200,900", full ? QStringLiteral("small/Zar-Are.ini")
                                                                  : QStringLiteral("Zar-Are.ini"));
        if (setup == QLatin1String("read-only folder"))
            QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        else if (setup == QLatin1String("read-only file"))
            QFile::setPermissions(p, QFileDevice::ReadOwner);
        else if (setup == QLatin1String("unreadable file"))
            QFile::setPermissions(p, QFileDevice::WriteOwner);
        else if (setup == QLatin1String("folder"))
            QVERIFY(QFile::remove(p) && QDir(dir.path()).mkdir(QStringLiteral("Zar-Are.ini")));
        if (full) {
            QFile filler(folder + QStringLiteral("/filler"));
            QVERIFY(filler.open(QIODevice::WriteOnly));
            while (filler.write(QByteArray(4096, 'f')) == 4096 && filler.flush()) {
            }
        }
        const auto before = SettingsFile::read(p);
        QTEST(int(before.status), "status");
        if (before.status == SettingsFile::Status::Unreadable) {
            QVERIFY(SettingsFile::damagedMessage(p, before).contains(p));
            return; // its owner may still replace it
        }
        QFile held(p);
        if (setup == QLatin1String("held open"))
            QVERIFY(held.open(QIODevice::ReadOnly));
        QString reason;
        QVERIFY(!SettingsFile::write(p, {QString(20000, QLatin1Char('9')), "2", "3", "4", "5"}, &reason));
        QVERIFY(!reason.isEmpty());
        held.close();
        QCOMPARE(SettingsFile::read(p).record.port, before.record.port);
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(),
                 full ? 2 : 1);
    }
};

ZARARE_TEST(SettingsFileTest)
#include "SettingsFileTest.moc"
