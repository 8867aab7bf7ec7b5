#include "SimulatedFleet.h"
#include "Helpers.h"
#include "TestRegistry.h"

#include <QSet>
#include <QTest>

using namespace sender;

class SimulatedFleetTest : public QObject {
    Q_OBJECT

private slots:
    // Over many rounds every reading lands in a cell of its own, as a number in the sensor's range; values
    // keep moving, differ between hosts, and do not stick to the range's ends. (The labels, quantities and
    // units of the first sensors are checked on the wire by SenderNetworkTest.)
    void readingsDriftInTheirCells() {
        const int hosts = 12, sensors = 40, rounds = 300;
        SimulatedFleet fleet(hosts, sensors, 12345);
        QCOMPARE(QString::fromStdString(fleet.hostName(0) + " " + fleet.hostName(hosts - 1)),
                 QStringLiteral("sim-01 sim-12"));
        std::vector<QString> previous(hosts * sensors);
        std::vector<int> changes(previous.size()), atEnd(previous.size());
        for (int round = 0; round < rounds; ++round, fleet.drift()) {
            QSet<QString> cells;
            for (int h = 0; h < hosts; ++h) {
                for (int s = 0; s < sensors; ++s) {
                    const auto &sensor = fleet.sensor(s);
                    const ReadingParser r = parsedByMonitor(QByteArray::fromStdString(
                        formatLine("Sep  9 20:04:58", fleet.hostName(h), fleet.reading(h, s))));
                    cells.insert(r.hostname + r.sensorname);
                    bool number = false;
                    const double value = r.sensorvalue.toDouble(&number);
                    QVERIFY(number && value >= sensor.low && value <= sensor.high);
                    const std::size_t i = std::size_t(h * sensors + s);
                    changes[i] += r.sensorvalue != previous[i];
                    atEnd[i] += value == sensor.low || value == sensor.high;
                    previous[i] = r.sensorvalue;
                }
            }
            QCOMPARE(cells.size(), hosts * sensors);
        }
        for (std::size_t i = 0; i < previous.size(); ++i)
            QVERIFY(changes[i] > rounds / 2 && atEnd[i] < rounds / 20);
        QSet<QString> firstSensorPerHost;
        for (int h = 0; h < hosts; ++h)
            firstSensorPerHost.insert(QString::fromStdString(fleet.reading(h, 0).value));
        QVERIFY(firstSensorPerHost.size() > hosts / 2);
    }
};

ZARARE_TEST(SimulatedFleetTest)
#include "SimulatedFleetTest.moc"
