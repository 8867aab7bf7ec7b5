#include "Helpers.h"
#include "SensorMapping.h"
#include "SensorReading.h"
#include "SimulatedFleet.h"
#include "TestRegistry.h"

#include <QSet>
#include <QTest>

#include <utility>

using namespace sender;
using B = QByteArray;
using Parts = QList<QByteArray>;

// The readings the sender makes: their lines as the monitor cuts them, the library's features mapped to
// readings, and the simulated fleet.
class ReadingsTest : public QObject {
    Q_OBJECT

private slots:
    // A reading's line parses in the monitor into the cells it should fill, whatever its label holds.
    void monitorCells_data() {
        QTest::addColumn<Parts>("parts");   // host, label, value, unit
        QTest::addColumn<QString>("cells"); // host, sensor and value cells
        // clang-format off
        QTest::newRow("negative, no unit") << Parts{"h", "Ambient", "-5.5", ""} << "h| Ambient| -5.5 ";
        QTest::newRow("space in host") << Parts{"my host", "x", "1.0", "C"} << "my-host| x| 1.0 ";
        QTest::newRow("bracket and colon") << Parts{"h", "CPU: Core [0]", "1", "C"} << "h| CPU- Core (0)| 1 ";
        QTest::newRow("= and > in label") << Parts{"h", "a=b>c", "1", "C"} << "h| a=b>c| 1 ";
        QTest::newRow("control characters and spaces") << Parts{"h", "\t a \n\x7f b \x7f", "1", "C"} << "h| a b| 1 ";
        QTest::newRow("UTF-8 kept") << Parts{"h", "\xe2\x82\xac 5 \xf0\x9f\x94\xa5", "1", "C"} << "h| € 5 🔥| 1 ";
        QTest::newRow("overlong form") << Parts{"h", "\xc0\xaf", "1", "C"} << "h| ??| 1 ";
        QTest::newRow("surrogate") << Parts{"h", "\xed\xa0\x80", "1", "C"} << "h| ???| 1 ";
        QTest::newRow("truncated sequence") << Parts{"h", "x\xe2\x82", "1", "C"} << "h| x??| 1 ";
        QTest::newRow("cut counts characters") << Parts{"h", B(47, 'x') + "\xc3\xa9\xc3\xa9", "1", "C"} << "h| " + QString(47, 'x') + "é| 1 ";
        QTest::newRow("no space left at the cut") << Parts{"h", B(47, 'x') + " yz", "1", "C"} << "h| " + QString(47, 'x') + "| 1 ";
        // clang-format on
    }
    void monitorCells() {
        QFETCH(Parts, parts);
        std::tm local{};
        QVERIFY(strptime("09-09 20:04:58", "%m-%d %H:%M:%S", &local));
        const Reading reading{sanitiseLabel(parts[1].toStdString()), "Temp", parts[2].toStdString(),
                              parts[3].toStdString()};
        const auto line = formatLine(formatTimestamp(local), sanitiseHost(parts[0].toStdString()), reading);
        const ReadingParser r = parsedByMonitor(QByteArray::fromStdString(line));
        QCOMPARE(r.msgdate + ' ' + r.msgtime, QStringLiteral("Sep  9 20:04:58"));
        QTEST(r.hostname + '|' + r.sensorname + '|' + r.sensorvalue, "cells");
    }

    // Rows "chip|driver|feature|label|kind|value", kind one of T F V P A J H, value empty for a failed read.
    void mapping_data() {
        QTest::addColumn<QStringList>("input");
        QTest::addColumn<QStringList>("expected");
        // clang-format off
        QTest::newRow("each kind's name, unit and decimals")
            << QStringList{"c-isa-0|c|temp1|Package|T|45.04", "c-isa-0|c|temp2|Ambient|T|-0.04", "c-isa-0|c|fan1|CPU Fan|F|1234.6", "c-isa-0|c|in0|Vcore|V|1.18449",
                           "c-isa-0|c|power1|PPT|P|12.5", "c-isa-0|c|curr1|Iin|A|1.5", "c-isa-0|c|energy1|E|J|12345.67", "c-isa-0|c|humidity1|Room|H|45.25"}
            << QStringList{"Package|Temp=45.0 C", "Ambient|Temp=0.0 C", "CPU Fan|Speed=1235 RPM", "Vcore|Voltage=1.184 V",
                           "PPT|Power=12.50 W", "Iin|Current=1.500 A", "E|Energy=12345.7 J", "Room|Humidity=45.2 %RH"};
        QTest::newRow("no label: the feature's name; unsafe label mended")
            << QStringList{"acpitz-acpi-0|acpitz|temp1||T|27.8", "it87-isa-0a30|it87|in2|+3.3V: [main]|V|3.3", "it87-isa-0a30|it87|in3| \t |V|5"}
            << QStringList{"temp1|Temp=27.8 C", "+3.3V- (main)|Voltage=3.300 V", "in3|Voltage=5.000 V"};
        QTest::newRow("shared label, drivers differ: driver's name, then chip's name")
            << QStringList{"nvme-pci-0100|nvme|temp1|Composite|T|35.9", "nvme-pci-0200|nvme|temp1|Composite|T|38.9",
                           "acpitz-acpi-0|acpitz|temp1|Composite|T|20", "k10temp-pci-00c3|k10temp|temp1|Tctl|T|50"}
            << QStringList{"nvme-pci-0100 Composite|Temp=35.9 C", "nvme-pci-0200 Composite|Temp=38.9 C", "acpitz Composite|Temp=20.0 C", "Tctl|Temp=50.0 C"};
        QTest::newRow("shared label on one chip: numbered") << QStringList{"x-isa-0|x|temp1|CPU|T|40", "x-isa-0|x|temp2|CPU|T|41", "x-isa-0|x|temp3|CPU|T|42"}
            << QStringList{"CPU|Temp=40.0 C", "CPU #2|Temp=41.0 C", "CPU #3|Temp=42.0 C"};
        QTest::newRow("failed reads left out, renaming nothing")
            << QStringList{"acpitz-acpi-0|acpitz|temp1||T|", "nvme-pci-0100|nvme|temp1||T|35.9", "nvme-pci-0100|nvme|temp2||T|nan"} << QStringList{"nvme temp1|Temp=35.9 C"};
        QTest::newRow("labels that meet after mending") << QStringList{"a-isa-0|a|temp1|CPU:0|T|40", "b-isa-0|b|temp1|CPU-0|T|41"}
            << QStringList{"a CPU-0|Temp=40.0 C", "b CPU-0|Temp=41.0 C"};
        // clang-format on
    }
    void mapping() {
        QFETCH(QStringList, input);
        std::vector<RawFeature> features;
        for (const QString &row : input) {
            const QStringList f = row.split(QLatin1Char('|'));
            const auto text = [&](int i) { return f[i].toStdString(); };
            features.push_back({text(0), text(1), text(2), text(3),
                                SensorKind(QStringLiteral("TFVPAJH").indexOf(f[4])),
                                f[5].isEmpty() ? std::nullopt : std::optional(f[5].toDouble())});
        }
        QStringList lines;
        for (const auto &r : mapFeatures(features))
            lines << QString::fromStdString(r.label + "|" + r.name + "=" + r.value + " " + r.unit);
        QTEST(lines, "expected");
    }

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
            QSet<QString> cells, firstSensor;
            for (std::size_t i = 0; i < previous.size(); ++i) {
                const int h = int(i) / sensors, s = int(i) % sensors;
                const ReadingParser r = parsedByMonitor(QByteArray::fromStdString(
                    formatLine("Sep  9 20:04:58", fleet.hostName(h), fleet.reading(h, s))));
                cells.insert(r.hostname + r.sensorname);
                if (s == 0)
                    firstSensor.insert(r.sensorvalue);
                bool number = false;
                const double value = r.sensorvalue.toDouble(&number);
                QVERIFY(number && value >= fleet.sensor(s).low && value <= fleet.sensor(s).high);
                atEnd[i] += value == fleet.sensor(s).low || value == fleet.sensor(s).high;
                changes[i] += std::exchange(previous[i], r.sensorvalue) != r.sensorvalue;
            }
            QCOMPARE(cells.size(), hosts * sensors);
            QVERIFY(firstSensor.size() > hosts / 2);
        }
        for (std::size_t i = 0; i < previous.size(); ++i)
            QVERIFY(changes[i] > rounds / 2 && atEnd[i] < rounds / 20);
    }
};

ZARARE_TEST(ReadingsTest)
#include "ReadingsTest.moc"
