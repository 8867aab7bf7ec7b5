#include "settings/SettingsFile.h"
#include "TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#ifndef Q_OS_WIN
#include <sys/mount.h>
#include <unistd.h>
#endif

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
        if (!f.open(QIODevice::WriteOnly))
            return {};
        f.write(bytes);
        return p;
    }

private slots:
    void cleanup() {
        QFile::setPermissions(dir.path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(dir.path());
    }

    // Beside the program, with the system's own separators; read and written there too.
    void pathIsBesideTheProgram() {
        const QString p = SettingsFile::path();
        QCOMPARE(p, QDir::toNativeSeparators(QCoreApplication::applicationDirPath() +
                                             QStringLiteral("/Zar-Are.ini")));
#ifdef Q_OS_WIN
        QVERIFY2(p.size() > 3 && p.at(0).isLetter() && p.mid(1, 2) == QStringLiteral(":\\"), qPrintable(p));
#endif
        QString reason;
        const bool written = SettingsFile::write(p, {"5514", "2985", "7815", "1200", "900"}, &reason);
        const auto read = SettingsFile::read(p);
        QFile::remove(p);
        QVERIFY2(written, qPrintable(reason));
        QCOMPARE(read.record.port, QStringLiteral("5514"));
        SettingsFile::setFolderForTesting(dir.path());
        QCOMPARE(SettingsFile::path(), QDir::toNativeSeparators(dir.filePath(QStringLiteral("Zar-Are.ini"))));
        SettingsFile::setFolderForTesting(QString());
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
        QVERIFY2(written, qPrintable(reason));
        QVERIFY(QFile::exists(config + QStringLiteral("/Zar-Are.ini")));
        QDir(config).removeRecursively();
    }

    void fileExistsSeesOrdinaryFilesOnly() {
        QVERIFY(SettingsFile::FileExists(fileWith("x")));
        QVERIFY(SettingsFile::FileExists(fileWith("")));
        QVERIFY(!SettingsFile::FileExists(fileWith("x", QStringLiteral(".hidden"))));
        QVERIFY(!SettingsFile::FileExists(dir.path()));
        QVERIFY(!SettingsFile::FileExists(dir.filePath(QStringLiteral("absent"))));
        QCOMPARE(SettingsFile::read(dir.filePath(QStringLiteral("absent"))).status,
                 SettingsFile::Status::Missing);
    }

    void reading_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("port");
        using S = SettingsFile::Status;
        QTest::newRow("record") << QByteArray("514,2985,7815,1200,900") << int(S::Complete) << "514";
        QTest::newRow("over lines, trailing fields")
            << QByteArray("\"5514\"\r\n2985\n7815,1200\r\n900,9,9") << int(S::Complete) << "5514";
        QTest::newRow("port is text") << QByteArray("  abc,2985,7815,1200,900") << int(S::Complete) << "abc";
        QTest::newRow("empty") << QByteArray() << int(S::Empty) << "";
        QTest::newRow("fewer fields") << QByteArray("514,2985,7815") << int(S::Damaged) << "";
        QTest::newRow("not a number") << QByteArray("514,2985,wide,1200,900") << int(S::Damaged) << "";
        QTest::newRow("locale comma splits")
            << QByteArray("514,2985,5,5,1200,900") << int(S::Complete) << "514";
        QTest::newRow("beyond single range")
            << QByteArray("514,1E+39,7815,1200,900") << int(S::Damaged) << "";
        QTest::newRow("huge but single")
            << QByteArray("514,1E+38,-1E+38,1200,900") << int(S::Complete) << "514";
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe,\x01\x02", 7) << int(S::Damaged) << "";
        // A huge file is read only as far as needed.
        QTest::newRow("100 MB after the record")
            << QByteArray("514,2985,7815,1200,900\r\n") + QByteArray(100 * 1024 * 1024, 'x')
            << int(S::Complete) << "514";
        QTest::newRow("1 MB field") << QByteArray(1024 * 1024, '7') << int(S::Damaged) << "";
    }
    void reading() {
        QFETCH(QByteArray, bytes);
        const auto result = SettingsFile::read(fileWith(bytes));
        QTEST(int(result.status), "status");
        if (result.status == SettingsFile::Status::Complete)
            QTEST(result.record.port, "port");
    }

    void roundTrip() {
        const QString p = dir.filePath(QStringLiteral("Zar-Are.ini"));
        const SettingsRecord written{QStringLiteral("5514"), QStringLiteral("2985"), QStringLiteral("7815"),
                                     QStringLiteral("-120"), QStringLiteral("-1500.5")};
        QString reason;
        QVERIFY2(SettingsFile::write(p, written, &reason), qPrintable(reason));
        {
            QFile f(p); // closed again: Windows does not replace a file that is open
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), QByteArray("5514,2985,7815,-120,-1500.5\r\n"));
        }
        const auto read = SettingsFile::read(p);
        QCOMPARE(read.status, SettingsFile::Status::Complete);
        QCOMPARE(read.record.port, written.port);
        QCOMPARE(read.geometry[2], -120.0f);
        QCOMPARE(read.geometry[3], -1500.5f);
        // A port with a comma shifts every later field on the next read.
        QVERIFY(SettingsFile::write(p, {QStringLiteral("5,14"), "1000", "5000", "0", "0"}, &reason));
        const auto shifted = SettingsFile::read(p);
        QCOMPARE(shifted.record.port, QStringLiteral("5"));
        QCOMPARE(shifted.record.height, QStringLiteral("14"));
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
#ifdef Q_OS_WIN
        QTest::newRow("held open by another program") << "held open" << int(S::Complete) << false;
#endif
    }
    void refusedWrites() {
        QFETCH(QString, setup);
        QFETCH(bool, asUser);
        if (asUser && root())
            QSKIP("root is not stopped by permission bits");
        const QString p = fileWith("514,2985,7815,1200,900");
        if (setup == QLatin1String("read-only folder"))
            QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        else if (setup == QLatin1String("read-only file"))
            QFile::setPermissions(p, QFileDevice::ReadOwner);
        else if (setup == QLatin1String("unreadable file"))
            QFile::setPermissions(p, QFileDevice::WriteOwner);
        else if (setup == QLatin1String("folder"))
            QVERIFY(QFile::remove(p) && QDir(dir.path()).mkdir(QStringLiteral("Zar-Are.ini")));
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
        QVERIFY(!SettingsFile::write(p, {"1", "2", "3", "4", "5"}, &reason));
        QVERIFY(!reason.isEmpty());
        held.close();
        QCOMPARE(SettingsFile::read(p).record.port, before.record.port);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(),
                 1);
    }

    // A full disk halfway through the write: a tiny file system mounted for the test (root only).
    void fullDiskLeavesTheOldFile() {
#ifdef Q_OS_WIN
        QSKIP("no small file system can be mounted on Windows");
#else
        if (!root())
            QSKIP("mounting a small file system needs root");
        const QString mnt = dir.filePath(QStringLiteral("small"));
        QVERIFY(QDir().mkpath(mnt));
        if (::mount("tmpfs", mnt.toLocal8Bit().constData(), "tmpfs", 0, "size=16k") != 0)
            QSKIP("tmpfs cannot be mounted here");
        const QString p = mnt + QStringLiteral("/Zar-Are.ini");
        QString reason;
        QVERIFY(SettingsFile::write(p, {"514", "2985", "7815", "1200", "900"}, &reason));
        {
            QFile filler(mnt + QStringLiteral("/filler"));
            QVERIFY(filler.open(QIODevice::WriteOnly));
            const QByteArray block(4096, 'f');
            while (filler.write(block) == block.size() && filler.flush()) {
            }
        }
        const QString huge(20000, QLatin1Char('9'));
        const bool written = SettingsFile::write(p, {huge, "1", "2", "3", "4"}, &reason);
        const auto after = SettingsFile::read(p);
        const QStringList left = QDir(mnt).entryList(QDir::Files | QDir::Hidden);
        ::umount(mnt.toLocal8Bit().constData());
        QVERIFY(!written);
        QVERIFY(!reason.isEmpty());
        QCOMPARE(after.record.port, QStringLiteral("514"));
        QCOMPARE(left.size(), 2); // no temporary file is left behind
        QVERIFY(left.contains(QStringLiteral("Zar-Are.ini")));
#endif
    }
};

ZARARE_TEST(SettingsFileTest)
#include "SettingsFileTest.moc"
