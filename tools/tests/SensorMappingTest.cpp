#include "SensorMapping.h"
#include "TestRegistry.h"

#include <QTest>

#include <cmath>

using namespace sender;

class SensorMappingTest : public QObject {
    Q_OBJECT

private slots:
    // Rows "chip|driver|feature|label|kind|value", kind one of T F V P A J H, value empty for a failed read.
    void mapping_data() {
        QTest::addColumn<QStringList>("input");
        QTest::addColumn<QStringList>("expected");
        // clang-format off
        QTest::newRow("each kind's name, unit and decimals")
            << QStringList{"c-isa-0|c|temp1|Package|T|45.04", "c-isa-0|c|temp2|Ambient|T|-0.04", "c-isa-0|c|fan1|CPU Fan|F|1234.6",
                           "c-isa-0|c|in0|Vcore|V|1.18449", "c-isa-0|c|power1|PPT|P|12.5", "c-isa-0|c|curr1|Iin|A|1.5",
                           "c-isa-0|c|energy1|E|J|12345.67", "c-isa-0|c|humidity1|Room|H|45.25"}
            << QStringList{"Package|Temp=45.0 C", "Ambient|Temp=0.0 C", "CPU Fan|Speed=1235 RPM", "Vcore|Voltage=1.184 V",
                           "PPT|Power=12.50 W", "Iin|Current=1.500 A", "E|Energy=12345.7 J", "Room|Humidity=45.2 %RH"};
        QTest::newRow("no label: the feature's name; unsafe label mended")
            << QStringList{"acpitz-acpi-0|acpitz|temp1||T|27.8", "it87-isa-0a30|it87|in2|+3.3V: [main]|V|3.3",
                           "it87-isa-0a30|it87|in3| \t |V|5"}
            << QStringList{"temp1|Temp=27.8 C", "+3.3V- (main)|Voltage=3.300 V", "in3|Voltage=5.000 V"};
        QTest::newRow("shared label, drivers differ: driver's name, then chip's name")
            << QStringList{"nvme-pci-0100|nvme|temp1|Composite|T|35.9", "nvme-pci-0200|nvme|temp1|Composite|T|38.9",
                           "acpitz-acpi-0|acpitz|temp1|Composite|T|20", "k10temp-pci-00c3|k10temp|temp1|Tctl|T|50"}
            << QStringList{"nvme-pci-0100 Composite|Temp=35.9 C", "nvme-pci-0200 Composite|Temp=38.9 C",
                           "acpitz Composite|Temp=20.0 C", "Tctl|Temp=50.0 C"};
        QTest::newRow("shared label on one chip: numbered")
            << QStringList{"x-isa-0|x|temp1|CPU|T|40", "x-isa-0|x|temp2|CPU|T|41", "x-isa-0|x|temp3|CPU|T|42"}
            << QStringList{"CPU|Temp=40.0 C", "CPU #2|Temp=41.0 C", "CPU #3|Temp=42.0 C"};
        QTest::newRow("failed reads left out, renaming nothing")
            << QStringList{"acpitz-acpi-0|acpitz|temp1||T|", "nvme-pci-0100|nvme|temp1||T|35.9", "nvme-pci-0100|nvme|temp2||T|nan"}
            << QStringList{"nvme temp1|Temp=35.9 C"};
        QTest::newRow("labels that meet after mending")
            << QStringList{"a-isa-0|a|temp1|CPU:0|T|40", "b-isa-0|b|temp1|CPU-0|T|41"}
            << QStringList{"a CPU-0|Temp=40.0 C", "b CPU-0|Temp=41.0 C"};
        // clang-format on
    }
    void mapping() {
        QFETCH(QStringList, input);
        std::vector<RawFeature> features;
        for (const QString &row : input) {
            const QStringList f = row.split(QLatin1Char('|'));
            const auto text = [&](int i) { return f[i].toStdString(); };
            RawFeature raw{
                text(0),     text(1), text(2), text(3), SensorKind(QStringLiteral("TFVPAJH").indexOf(f[4])),
                std::nullopt};
            if (!f[5].isEmpty())
                raw.value = f[5] == QLatin1String("nan") ? std::nan("") : f[5].toDouble();
            features.push_back(raw);
        }
        QStringList lines;
        for (const auto &r : mapFeatures(features))
            lines << QString::fromStdString(r.label + "|" + r.name + "=" + r.value + " " + r.unit);
        QTEST(lines, "expected");
    }
};

ZARARE_TEST(SensorMappingTest)
#include "SensorMappingTest.moc"
