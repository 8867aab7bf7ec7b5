#include "Helpers.h"
#include "SensorReading.h"
#include "TestRegistry.h"

#include <QTest>

using namespace sender;
using B = QByteArray;

class LineFormatTest : public QObject {
    Q_OBJECT

private slots:
    // A reading's line parses in the monitor into the cells it should fill, whatever its label holds.
    void monitorCells_data() {
        QTest::addColumn<B>("host");
        QTest::addColumn<B>("label");
        QTest::addColumn<B>("value");
        QTest::addColumn<B>("unit");
        QTest::addColumn<QString>("hostCell");
        QTest::addColumn<QString>("sensorCell");
        QTest::addColumn<QString>("valueCell");
        // clang-format off
        QTest::newRow("worked example") << B("OFFICE") << B("CPU Temp") << B("45.0") << B("C") << "OFFICE" << " CPU Temp" << " 45.0 ";
        QTest::newRow("negative, no unit") << B("h") << B("Ambient") << B("-5.5") << B() << "h" << " Ambient" << " -5.5 ";
        QTest::newRow("space in host") << B("my host") << B("x") << B("1.0") << B("C") << "my-host" << " x" << " 1.0 ";
        QTest::newRow("bracket and colon") << B("h") << B("CPU: Core [0]") << B("1") << B("C") << "h" << " CPU- Core (0)" << " 1 ";
        QTest::newRow("] before [") << B("h") << B("a]b[c") << B("1") << B("C") << "h" << " a)b(c" << " 1 ";
        QTest::newRow("= and > in label") << B("h") << B("a=b>c") << B("1") << B("C") << "h" << " a=b>c" << " 1 ";
        QTest::newRow("control characters") << B("h") << B("a\tb\nc\x7f") << B("1") << B("C") << "h" << " a b c" << " 1 ";
        QTest::newRow("space runs and ends") << B("h") << B("  a   b  ") << B("1") << B("C") << "h" << " a b" << " 1 ";
        QTest::newRow("UTF-8 kept") << B("h") << B("\xe2\x82\xac 5 \xf0\x9f\x94\xa5") << B("1") << B("C") << "h" << " € 5 🔥" << " 1 ";
        QTest::newRow("stray byte") << B("h") << B("a\xff" "b") << B("1") << B("C") << "h" << " a?b" << " 1 ";
        QTest::newRow("overlong form") << B("h") << B("\xc0\xaf") << B("1") << B("C") << "h" << " ??" << " 1 ";
        QTest::newRow("surrogate") << B("h") << B("\xed\xa0\x80") << B("1") << B("C") << "h" << " ???" << " 1 ";
        QTest::newRow("truncated sequence") << B("h") << B("x\xe2\x82") << B("1") << B("C") << "h" << " x??" << " 1 ";
        QTest::newRow("cut to 48") << B("h") << B(100, 'L') << B("1") << B("C") << "h" << " " + QString(48, 'L') << " 1 ";
        QTest::newRow("cut counts characters") << B("h") << B(47, 'x') + "\xc3\xa9\xc3\xa9" << B("1") << B("C") << "h" << " " + QString(47, 'x') + "é" << " 1 ";
        QTest::newRow("no space left at the cut") << B("h") << B(47, 'x') + " yz" << B("1") << B("C") << "h" << " " + QString(47, 'x') << " 1 ";
        // clang-format on
    }
    void monitorCells() {
        QFETCH(B, host);
        QFETCH(B, label);
        QFETCH(B, value);
        QFETCH(B, unit);
        std::tm local{};
        QVERIFY(strptime("09-09 20:04:58", "%m-%d %H:%M:%S", &local));
        const Reading reading{sanitiseLabel(label.toStdString()), "Temp", value.toStdString(),
                              unit.toStdString()};
        const auto line = formatLine(formatTimestamp(local), sanitiseHost(host.toStdString()), reading);
        const ReadingParser r = parsedByMonitor(B::fromStdString(line));
        QCOMPARE(r.msgdate, QStringLiteral("Sep  9"));
        QCOMPARE(r.msgtime, QStringLiteral("20:04:58"));
        QTEST(r.hostname, "hostCell");
        QTEST(r.sensorname, "sensorCell");
        QTEST(r.sensorvalue, "valueCell");
    }
};

ZARARE_TEST(LineFormatTest)
#include "LineFormatTest.moc"
