#include "Helpers.h"
#include "SensorReading.h"
#include "TestRegistry.h"

#include <QTest>

using namespace sender;
using B = QByteArray;
using Parts = QList<QByteArray>;

class LineFormatTest : public QObject {
    Q_OBJECT

private slots:
    // A reading's line parses in the monitor into the cells it should fill, whatever its label holds.
    void monitorCells_data() {
        QTest::addColumn<Parts>("parts");   // host, label, value, unit
        QTest::addColumn<QString>("cells"); // host, sensor and value cells
        // clang-format off
        QTest::newRow("worked example") << Parts{"OFFICE", "CPU Temp", "45.0", "C"} << "OFFICE| CPU Temp| 45.0 ";
        QTest::newRow("negative, no unit") << Parts{"h", "Ambient", "-5.5", ""} << "h| Ambient| -5.5 ";
        QTest::newRow("space in host") << Parts{"my host", "x", "1.0", "C"} << "my-host| x| 1.0 ";
        QTest::newRow("bracket and colon") << Parts{"h", "CPU: Core [0]", "1", "C"} << "h| CPU- Core (0)| 1 ";
        QTest::newRow("] before [") << Parts{"h", "a]b[c", "1", "C"} << "h| a)b(c| 1 ";
        QTest::newRow("= and > in label") << Parts{"h", "a=b>c", "1", "C"} << "h| a=b>c| 1 ";
        QTest::newRow("control characters") << Parts{"h", "a\tb\nc\x7f", "1", "C"} << "h| a b c| 1 ";
        QTest::newRow("space runs and ends") << Parts{"h", "  a   b  ", "1", "C"} << "h| a b| 1 ";
        QTest::newRow("UTF-8 kept") << Parts{"h", "\xe2\x82\xac 5 \xf0\x9f\x94\xa5", "1", "C"} << "h| € 5 🔥| 1 ";
        QTest::newRow("stray byte") << Parts{"h", B("a\xff" "b"), "1", "C"} << "h| a?b| 1 ";
        QTest::newRow("overlong form") << Parts{"h", "\xc0\xaf", "1", "C"} << "h| ??| 1 ";
        QTest::newRow("surrogate") << Parts{"h", "\xed\xa0\x80", "1", "C"} << "h| ???| 1 ";
        QTest::newRow("truncated sequence") << Parts{"h", "x\xe2\x82", "1", "C"} << "h| x??| 1 ";
        QTest::newRow("cut to 48") << Parts{"h", B(100, 'L'), "1", "C"} << "h| " + QString(48, 'L') + "| 1 ";
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
        QCOMPARE(r.msgdate, QStringLiteral("Sep  9"));
        QCOMPARE(r.msgtime, QStringLiteral("20:04:58"));
        QTEST(r.hostname + '|' + r.sensorname + '|' + r.sensorvalue, "cells");
    }
};

ZARARE_TEST(LineFormatTest)
#include "LineFormatTest.moc"
