#include "TestRegistry.h"
#include "mainwindow/MainForm.h"
#include "rules/RulesFile.h"
#include "settings/SettingsFile.h"
#include "settings/frmOptions.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

// From the rules file and a real datagram over loopback to the cell's age and stale colour.
class RulesStartUpTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    static QString shownMessage() {
        QString text;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<QMessageBox *>(w)) {
                if (box->isVisible())
                    text += box->text();
                box->close();
            }
        return text;
    }

private slots:
    void initTestCase() { SettingsFile::setFolderForTesting(dir.path()); }
    void cleanupTestCase() { SettingsFile::setFolderForTesting(QString()); }

    void datagramToStaleCell() {
        QUdpSocket probe;
        QVERIFY(probe.bind(QHostAddress::AnyIPv4, 0));
        const quint16 port = probe.localPort();
        probe.close();
        QFile ini(SettingsFile::path());
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(QByteArray::number(port) + ",2985,7815,1200,900");
        ini.close();
        QCOMPARE(QFileInfo(MainForm::rulesPath()).fileName(), QStringLiteral("Zar-Are.rules"));
        QString reason;
        QVERIFY(RulesFile::write(MainForm::rulesPath(), QStringLiteral("stale 2m\nCPU* hot 9\n"), &reason));

        MainForm form;
        qint64 offset = 0;
        form.grid.setClock([&offset] {
            QElapsedTimer t;
            t.start();
            return t.msecsSinceReference() + offset;
        });
        form.Form_Load();
        const QString message = shownMessage();
        QVERIFY2(message.contains(QStringLiteral("Zar-Are.rules")) &&
                     message.contains(QStringLiteral("line 2")),
                 qPrintable(message));

        QUdpSocket out;
        out.writeDatagram("<13>Sep  9 20:04:58 render-07 sensor[CPU Temp]: Temp=45.0 C",
                          QHostAddress::LocalHost, port);
        QTRY_COMPARE(form.grid.textAt(1, 4), QStringLiteral(" 45.0 "));
        const QModelIndex value = form.grid.index(0, 3);
        QCOMPARE(form.grid.data(value, Qt::ToolTipRole).toString(), QStringLiteral("45.0, 0 s ago"));
        QVERIFY(!form.grid.data(value, Qt::ForegroundRole).isValid());

        offset = 150000; // past the file's two minutes, short of nothing else
        QVERIFY(form.grid.data(value, Qt::ForegroundRole).isValid());
        QCOMPARE(form.grid.headerData(0, Qt::Vertical, Qt::ToolTipRole).toString(),
                 QStringLiteral("silent for 2 min 30 s"));
        form.Form_Unload();
        frmOptions::unload();
    }
};
ZARARE_TEST(RulesStartUpTest)
#include "RulesStartUpTest.moc"
