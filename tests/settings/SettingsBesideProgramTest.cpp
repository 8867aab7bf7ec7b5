#ifdef _WIN32
#include "TestRegistry.h"
#include "settings/SettingsFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QTest>

// On Windows the settings file lives beside the .exe, named with the system's own separators, and its
// record ends with CR LF, as it was read and written there.
class SettingsBesideProgramTest : public QObject {
    Q_OBJECT

    static QString besideTheProgram() {
        return QCoreApplication::applicationDirPath().replace(QLatin1Char('/'), QLatin1Char('\\')) +
               QStringLiteral("\\Zar-Are.ini");
    }

private slots:
    void cleanup() { QFile::remove(besideTheProgram()); }

    void pathIsAWindowsPathBesideTheExe() {
        const QString p = SettingsFile::path();
        QCOMPARE(p, besideTheProgram());
        QVERIFY2(p.size() > 3 && p.at(0).isLetter() && p.mid(1, 2) == QStringLiteral(":\\"), qPrintable(p));
        QVERIFY(!p.contains(QLatin1Char('/')));
    }

    void readsAndWritesTheRecordThere_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("status");
        QTest::newRow("CR LF") << QByteArray("5514,2985,7815,1200,900\r\n")
                               << int(SettingsFile::Status::Complete);
        QTest::newRow("no line end") << QByteArray("5514,2985,7815,1200,900")
                                     << int(SettingsFile::Status::Complete);
    }
    void readsAndWritesTheRecordThere() {
        QFETCH(QByteArray, bytes);
        const QString p = SettingsFile::path();
        {
            QFile file(p);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        const auto read = SettingsFile::read(p);
        QTEST(int(read.status), "status");
        if (read.status != SettingsFile::Status::Complete)
            return;
        QCOMPARE(read.record.port, QStringLiteral("5514"));
        QString reason;
        QVERIFY2(SettingsFile::write(p, read.record, &reason), qPrintable(reason));
        QFile file(p);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("5514,2985,7815,1200,900\r\n"));
    }
};

ZARARE_TEST(SettingsBesideProgramTest)
#include "SettingsBesideProgramTest.moc"
#endif
