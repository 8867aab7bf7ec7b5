#include "sensorview/SensorTableModel.h"
#include "TestRegistry.h"
#include "grid/FlexGrid.h"
#include "net/UdpSocket.h"
#include "reception/DatagramReception.h"

#include <QAbstractItemModelTester>
#include <QBrush>
#include <QSignalSpy>
#include <QTest>

#include <memory>

// The sensor table over the real reception path: datagrams in, aligned, sorted and filtered rows out.
class SensorTableModelTest : public QObject {
    Q_OBJECT

    std::unique_ptr<UdpSocket> socket;
    std::unique_ptr<FlexGrid> grid;
    std::unique_ptr<DatagramReception> reception;
    std::unique_ptr<SensorTableModel> model;
    qint64 clock = 0;

    void send(const QString &host, const QString &sensor, const QString &value,
              const QString &time = QStringLiteral("20:04:58")) {
        reception->processDatagram(
            QStringLiteral("<13>Sep  9 %1 %2 sensor[%3]: Temp=%4 C").arg(time, host, sensor, value).toUtf8());
    }
    // Each "host:sensor=value" entry as one datagram, then one frame.
    void sendAll(const QStringList &readings) {
        for (const QString &r : readings)
            send(r.section(QLatin1Char(':'), 0, 0),
                 r.section(QLatin1Char(':'), 1).section(QLatin1Char('='), 0, 0),
                 r.section(QLatin1Char('='), 1));
        model->refreshNow();
    }
    QString column(int c) const {
        QStringList out;
        for (int r = 0; r < model->rowCount(); ++r)
            out << model->index(r, c).data().toString();
        return out.join(QLatin1Char('|'));
    }
    QString hosts() const {
        QStringList out;
        for (int r = 0; r < model->rowCount(); ++r)
            out << model->headerData(r, Qt::Vertical).toString();
        return out.join(QLatin1Char('|'));
    }
    QString shownSensors() const {
        QStringList out;
        for (int c = 1; c < model->columnCount(); ++c)
            if (model->columnShown(c))
                out << model->sensorName(c);
        return out.join(QLatin1Char('|'));
    }

private slots:
    void init() {
        socket = std::make_unique<UdpSocket>();
        grid = std::make_unique<FlexGrid>();
        reception = std::make_unique<DatagramReception>(*socket, *grid);
        reception->hostGrid.reset();
        reception->hostGrid.writeHeaderRow();
        grid->flush();
        model = std::make_unique<SensorTableModel>(*grid, reception->hostGrid);
        clock = 0;
        model->setClock([this] { return clock; });
    }
    void cleanup() {
        model.reset();
        reception.reset();
        grid.reset();
        socket.reset();
    }

    // The model's contract holds while datagrams create hosts and sensors, frames publish them, and rows
    // are sorted, filtered and hidden in between.
    void modelContractDuringTraffic() {
        QAbstractItemModelTester tester(model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (int round = 0; round < 6; ++round) {
            for (int h = 0; h < 40; ++h)
                for (int s = 0; s < 5 + h % 7; ++s)
                    send(QStringLiteral("host-%1").arg(h), QStringLiteral("S%1").arg((s * 3 + h) % 11),
                         QString::number((h * 7 + s + round) % 23));
            QTest::qWait(FrameTimer::FrameMs * 2); // the grid's own frame
            if (round == 1)
                model->sort(3, Qt::DescendingOrder);
            if (round == 2)
                model->setFilterText(QStringLiteral("host-1*"));
            if (round == 3)
                model->setHiddenHosts({QStringLiteral("host-12")});
            if (round == 4)
                model->setFilterText(QStringLiteral("s1"));
        }
        model->sort(0);
        model->refreshNow();
        QCOMPARE(model->columnCount(), 12);
    }

    // Hosts that report the same sensors in different orders get them in the same column; a name with
    // other spaces around it is the same sensor, a name only of spaces is none.
    void alignsSensorsAcrossHosts() {
        sendAll({"a:CPU Temp=45.0", "a:Fan=1200", "b:Fan=900", "b:Vcore=1.2", "b: CPU Temp =50.5",
                 "c:Vcore=1.3", "c:=7"});
        QCOMPARE(model->columnCount(), 4);
        QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("CPU Temp"));
        QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Last reading"));
        QCOMPARE(hosts(), QStringLiteral("a|b|c"));
        QCOMPARE(column(1), QStringLiteral("45.0|50.5|"));
        QCOMPARE(column(2), QStringLiteral("1200|900|"));
        QCOMPARE(column(3), QStringLiteral("|1.2|1.3"));
        // Colours and tooltips are the grid's own, asked of the value cell shown.
        const QModelIndex source = model->sourceIndex(model->index(1, 3));
        QCOMPARE(grid->textAt(source.row() + 1, source.column() + 1), QStringLiteral(" 1.2 "));
        grid->setForeColorAt(source.row() + 1, source.column() + 1, 0x0000FF);
        QCOMPARE(model->index(1, 3).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::red));
        QVERIFY(!model->sourceIndex(model->index(0, 3)).isValid());
    }

    void sortsNumbersTextsAndBlanks() {
        sendAll({"a:T=10", "b:T=9.5", "c:X=1", "d:T=n/a", "e:T=-2", "f:T=100"});
        model->sort(1, Qt::AscendingOrder);
        QCOMPARE(hosts(), QStringLiteral("e|b|a|f|d|c"));
        model->sort(1, Qt::DescendingOrder);
        QCOMPARE(hosts(), QStringLiteral("f|a|b|e|d|c"));
        // A new reading moves its host at the next re-sort, and a selected cell goes with its host.
        const QPersistentModelIndex held = model->index(0, 1); // f
        sendAll({"b:T=1000"});
        QCOMPARE(hosts(), QStringLiteral("b|f|a|e|d|c"));
        QCOMPARE(model->headerData(held.row(), Qt::Vertical).toString(), QStringLiteral("f"));
        model->sort(-1);
        QCOMPARE(hosts(), QStringLiteral("a|b|c|d|e|f"));
    }

    // A re-sort read in slices between turns of the event loop ends in order, with the hosts that came
    // and the readings that changed meanwhile, and the current cell still on its host.
    void slicedSortEndsInOrder() {
        model->setSortSliceForTesting(0);
        QAbstractItemModelTester tester(model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (int h = 0; h < 2000; ++h)
            send(QStringLiteral("h%1").arg(h), QStringLiteral("T"), QString::number((h * 7919) % 1009));
        model->refreshNow();
        const QPersistentModelIndex held = model->index(5, 1);
        model->sort(1, Qt::DescendingOrder);
        QVERIFY(model->headerData(0, Qt::Vertical).toString() == QLatin1String("h0")); // not yet sorted
        send(QStringLiteral("late"), QStringLiteral("T"), QStringLiteral("5000"));
        send(QStringLiteral("h3"), QStringLiteral("T"), QStringLiteral("-1"));
        QTRY_COMPARE(model->rowCount(), 2001);
        QTRY_COMPARE(model->headerData(0, Qt::Vertical).toString(), QStringLiteral("late")); // next re-sort
        QCOMPARE(model->headerData(2000, Qt::Vertical).toString(), QStringLiteral("h3"));
        double previous = 1e9;
        for (int r = 0; r < model->rowCount(); ++r) {
            const double v = model->index(r, 1).data().toDouble();
            QVERIFY2(v <= previous, qPrintable(QString::number(r)));
            previous = v;
        }
        QCOMPARE(model->headerData(held.row(), Qt::Vertical).toString(), QStringLiteral("h5"));
    }

    void lastReadingPutsSilentHostsFirst() {
        sendAll({"a:T=1", "b:T=1", "c:T=1"});
        clock = 5000;
        sendAll({"c:T=2"}); // same second: no news for the age
        clock = 7000;
        send(QStringLiteral("a"), QStringLiteral("T"), QStringLiteral("3"), QStringLiteral("20:05:05"));
        model->refreshNow();
        clock = 9000;
        QCOMPARE(column(0), QStringLiteral("2 s ago|9 s ago|9 s ago"));
        QCOMPARE(model->index(1, 0).data(SensorTableModel::ExportRole).toString(), QStringLiteral("9"));
        model->sort(0, Qt::AscendingOrder);
        QCOMPARE(hosts(), QStringLiteral("b|c|a"));
    }

    void filters_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("hiddenHosts");
        QTest::addColumn<QString>("hosts");
        QTest::addColumn<QString>("sensors");
        QTest::newRow("nothing") << "" << QStringList() << "web-1|web-2|db-1"
                                 << "CPU Temp|Fan|Disk";
        QTest::newRow("hosts only") << "web" << QStringList() << "web-1|web-2"
                                    << "CPU Temp|Fan|Disk";
        QTest::newRow("sensors only") << "FAN" << QStringList() << "web-1|web-2|db-1"
                                      << "Fan";
        QTest::newRow("both") << "d" << QStringList() << "db-1"
                              << "Disk";
        QTest::newRow("glob") << "*-2" << QStringList() << "web-2"
                              << "CPU Temp|Fan|Disk";
        QTest::newRow("no match") << "zzz" << QStringList() << ""
                                  << "";
        QTest::newRow("hidden host") << "" << QStringList{"web-?"} << "db-1"
                                     << "CPU Temp|Fan|Disk";
        QTest::newRow("hidden host and filter") << "web" << QStringList{"WEB-1"} << "web-2"
                                                << "CPU Temp|Fan|Disk";
    }
    void filters() {
        QFETCH(QString, text);
        QFETCH(QStringList, hiddenHosts);
        model->setFilterText(text); // before and after the readings alike
        sendAll({"web-1:CPU Temp=40", "web-2:Fan=900", "db-1:Disk=30"});
        model->setHiddenHosts(hiddenHosts);
        QTEST(hosts(), "hosts");
        QTEST(shownSensors(), "sensors");
        QCOMPARE(grid->rowCount(), 3); // the readings grid keeps every host
    }

    // Changes reach views once per frame as one range, new sensors as inserted columns.
    void oneChangePerFrame() {
        sendAll({"a:T=1"});
        QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
        QSignalSpy columns(model.get(), &QAbstractItemModel::columnsInserted);
        for (int i = 0; i < 200; ++i)
            send(QStringLiteral("h%1").arg(i % 20), QStringLiteral("S%1").arg(i % 3), QString::number(i));
        QTRY_COMPARE(model->rowCount(), 21);
        int frames = 0; // the ages' own refresh (column 0 only) aside
        for (const auto &args : changed)
            frames += args.at(1).toModelIndex().column() > 0;
        QCOMPARE(frames, 1);
        QCOMPARE(columns.count(), 1);
        QCOMPARE(model->columnCount(), 5);
    }
};
ZARARE_TEST(SensorTableModelTest)
#include "SensorTableModelTest.moc"
