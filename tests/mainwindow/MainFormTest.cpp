#include "mainwindow/MainForm.h"
#include "TestRegistry.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTableView>
#include <QTest>
#include <QUdpSocket>

class MainFormTest : public QObject {
    Q_OBJECT

    static QMessageBox *findWarning() {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible())
                return box;
        return nullptr;
    }

private slots:
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
    }

    void datagramsShowInCountersAndGrid() {
        MainForm form;
        form.portText = QStringLiteral("0");
        QUdpSocket probe;
        QVERIFY(probe.bind(QHostAddress::AnyIPv4, 0));
        form.portText = QString::number(probe.localPort());
        probe.close();
        form.Form_Load();
        form.show();
        QVERIFY(form.DudUDP.isBound());

        auto *view = form.findChild<QTableView *>(QStringLiteral("MSFlexGrid1"));
        QAbstractItemModel *model = view->model();
        QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Date"));

        const QByteArray reading("<13>Sep  9 20:04:58 OFFICE sensor[CPU Temp]: Temp=45.0 C");
        QUdpSocket out;
        out.writeDatagram(reading, QHostAddress::LocalHost, form.DudUDP.localPort());
        auto *packets = form.findChild<QLineEdit *>(QStringLiteral("PacketsReceived"));
        auto *bytes = form.findChild<QLineEdit *>(QStringLiteral("ReceivedBytes"));
        QTRY_COMPARE(packets->text(), QStringLiteral("1"));
        QCOMPARE(bytes->text(), QString::number(reading.size()));
        QTRY_COMPARE(model->rowCount(), 1);
        QCOMPARE(model->headerData(0, Qt::Vertical).toString(), QStringLiteral("OFFICE"));
        QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("Sep  9"));
        QCOMPARE(model->index(0, 2).data().toString(), QStringLiteral(" CPU Temp"));
        QCOMPARE(model->index(0, 3).data().toString(), QStringLiteral(" 45.0 "));
    }

    void busyPortIsToldAndTheWindowLives() {
        QUdpSocket other;
        QVERIFY(other.bind(QHostAddress::AnyIPv4, 0));
        MainForm form;
        form.portText = QString::number(other.localPort());
        form.Form_Load();
        QVERIFY(!form.DudUDP.isBound());
        QMessageBox *box = findWarning();
        QVERIFY(box);
        QCOMPARE(box->windowTitle(), QStringLiteral("Zar-Are"));
        QVERIFY(box->text().startsWith(QStringLiteral("Port %1 could not be opened").arg(other.localPort())));
        QCOMPARE(box->standardButtons(), QMessageBox::Ok);
        box->close();
        QCOMPARE(form.findChild<QLabel *>(QStringLiteral("Label2"))->text(),
                 QStringLiteral("Packets Received:"));
    }
};

ZARARE_TEST(MainFormTest)
#include "MainFormTest.moc"
