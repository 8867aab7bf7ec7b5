#include "reception/HostGrid.h"
#include "TestRegistry.h"
#include "grid/FlexGrid.h"

#include <QRandomGenerator>
#include <QTest>

class HostGridTest : public QObject {
    Q_OBJECT

    FlexGrid *grid = nullptr;
    HostGrid *hosts = nullptr;
    ReadingParser reading;

    void store(const QString &host, const QString &sensor, const QString &value,
               const QString &time = QStringLiteral("20:04:58")) {
        reading.hostname = host;
        reading.sensorname = sensor;
        reading.sensorvalue = value;
        reading.msgdate = QStringLiteral("Sep  9");
        reading.msgtime = time;
        hosts->fillgrid(reading);
    }
    QString cell(int row, int col) const { return grid->textAt(row, col); }

private slots:
    void init() {
        grid = new FlexGrid;
        hosts = new HostGrid(*grid);
        hosts->reset();
        hosts->writeHeaderRow();
        reading = ReadingParser();
    }
    void cleanup() {
        delete hosts;
        delete grid;
    }

    void headerRow() {
        QCOMPARE(cell(0, 0), QString());
        QCOMPARE(cell(0, 1), QStringLiteral("Date"));
        QCOMPARE(cell(0, 2), QStringLiteral("Time"));
        for (int c = 3; c <= 129; c += 2) {
            QCOMPARE(cell(0, c), QStringLiteral("Name"));
            QCOMPARE(grid->foreColorAt(0, c), FlexGrid::Blue);
            QCOMPARE(cell(0, c + 1), QStringLiteral("Value"));
            QVERIFY(!grid->hasForeColor(0, c + 1));
        }
    }

    // Each row: readings as host|sensor|value|time, then the cells they must leave as row,column=text
    // (an empty text: the cell stays empty), and the number of hosts.
    void readingsLand_data() {
        QTest::addColumn<QStringList>("readings");
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<int>("hostCount");
        QTest::newRow("first reading makes row 1")
            << QStringList{"OFFICE| CPU Temp| 45.0 |20:04:58"}
            << QStringList{"1,0=OFFICE", "1,1=Sep  9", "1,2=20:04:58", "1,3= CPU Temp", "1,4= 45.0 ", "1,5="}
            << 1;
        QTest::newRow("same sensor overwrites, a second goes right")
            << QStringList{"OFFICE| CPU Temp| 45.0 |20:04:58", "OFFICE| CPU Temp| 46.5 |20:05:00",
                           "OFFICE| Fan| 1200 |20:05:01"}
            << QStringList{"1,2=20:05:01", "1,4= 46.5 ", "1,5= Fan", "1,6= 1200 ", "1,7="} << 1;
        QTest::newRow("names differing in surrounding spaces share a slot")
            << QStringList{"H| CPU Temp| 1 |20:04:58", "H|   CPU Temp  | 2 |20:04:58"}
            << QStringList{"1,3=   CPU Temp  ", "1,4= 2 ", "1,5="} << 1;
        QTest::newRow("host names are exact keys, the empty one too")
            << QStringList{"office| A| 1 |t", "OFFICE| A| 2 |t", "office | A| 3 |t", "| A| 4 |t", "| A| 5 |t"}
            << QStringList{"1,4= 1 ", "2,4= 2 ", "3,0=office ", "4,0=", "4,4= 5 "} << 4;
    }
    void readingsLand() {
        QFETCH(QStringList, readings);
        QFETCH(QStringList, cells);
        QCOMPARE(grid->Rows(), 4); // the design-time rows, until the first host
        for (const QString &r : readings) {
            const QStringList f = r.split(QLatin1Char('|'));
            store(f[0], f[1], f[2], f[3]);
        }
        for (const QString &c : cells) {
            const qsizetype comma = c.indexOf(QLatin1Char(',')), equals = c.indexOf(QLatin1Char('='));
            const int row = c.left(comma).toInt(), col = c.mid(comma + 1, equals - comma - 1).toInt();
            QVERIFY2(cell(row, col) == c.mid(equals + 1),
                     qPrintable(c + QStringLiteral(" read ") + cell(row, col)));
            if (col >= 3 && col % 2 && !cell(row, col).isEmpty())
                QCOMPARE(grid->foreColorAt(row, col), FlexGrid::Blue);
        }
        QTEST(hosts->hostcount(), "hostCount");
        QCOMPARE(grid->Rows(), hosts->hostcount() + 1);
    }

    // The same sensor name on many hosts is stored once.
    void sensorNamesAreSharedAcrossHosts() {
        for (int h = 0; h < 3; ++h) // a new string each time, as the parser makes them
            store(QStringLiteral("host%1").arg(h), QStringLiteral(" CPU %1").arg(QStringLiteral("Temp")),
                  QStringLiteral(" 1 "));
        QCOMPARE(cell(1, 3), QStringLiteral(" CPU Temp"));
        QVERIFY(cell(1, 3).isSharedWith(cell(2, 3)));
        QVERIFY(cell(2, 3).isSharedWith(cell(3, 3)));
    }

    void sixtyFifthSensorIsDropped() {
        for (int i = 0; i < 64; ++i)
            store(QStringLiteral("H"), QStringLiteral(" S%1").arg(i), QStringLiteral(" %1 ").arg(i));
        QCOMPARE(cell(1, 129), QStringLiteral(" S63"));
        store(QStringLiteral("H"), QStringLiteral(" S64"), QStringLiteral(" 64 "),
              QStringLiteral("23:59:59"));
        QCOMPARE(hosts->sensorcol(), 0);
        QCOMPARE(cell(1, 2), QStringLiteral("20:04:58")); // not even the time is written
        for (int c = 3; c <= 129; c += 2)
            QVERIFY(cell(1, c) != QStringLiteral(" S64"));
        // A known sensor still updates.
        store(QStringLiteral("H"), QStringLiteral(" S10"), QStringLiteral(" new "));
        QCOMPARE(cell(1, 24), QStringLiteral(" new "));
    }

    void emptyTagTakesTheLastEmptySlot() {
        store(QStringLiteral("H"), QStringLiteral(" A"), QStringLiteral(" 1 "));
        store(QStringLiteral("H"), QStringLiteral(" "), QStringLiteral(" e "));
        QCOMPARE(hosts->sensorcol(), 129);
        QCOMPARE(cell(1, 129), QStringLiteral(" "));
        QCOMPARE(cell(1, 130), QStringLiteral(" e "));
        // Its name cell still counts as empty: a new name takes the first empty slot...
        store(QStringLiteral("H"), QStringLiteral(" B"), QStringLiteral(" 2 "));
        QCOMPARE(cell(1, 5), QStringLiteral(" B"));
        // ...and once every other slot is taken, a new name takes it over.
        for (int i = 0; i < 61; ++i)
            store(QStringLiteral("H"), QStringLiteral(" F%1").arg(i), QStringLiteral(" x "));
        QCOMPARE(cell(1, 127), QStringLiteral(" F60"));
        store(QStringLiteral("H"), QStringLiteral(" Last"), QStringLiteral(" z "));
        QCOMPARE(cell(1, 129), QStringLiteral(" Last"));
    }

    void matchingNameRightOfAnEmptySlotWins() {
        // A name stored in slot 2 while slot 1 is empty (as after an empty tag took the last slot and
        // the grid was written from outside): the stored slot is reused, not the empty one.
        store(QStringLiteral("H"), QStringLiteral(" A"), QStringLiteral(" 1 "));
        grid->setTextAt(1, 5, QStringLiteral(" B"));
        grid->setTextAt(1, 3, QString());
        store(QStringLiteral("H"), QStringLiteral(" B"), QStringLiteral(" 2 "));
        QCOMPARE(hosts->sensorcol(), 5);
        QCOMPARE(cell(1, 6), QStringLiteral(" 2 "));
    }

    // The host index must give exactly what a scan of column 0 gives.
    void hostIndexAgreesWithALinearScan() {
        auto *rng = QRandomGenerator::global();
        for (int i = 0; i < 3000; ++i)
            store(QStringLiteral("host-%1").arg(rng->bounded(800)),
                  QStringLiteral(" S%1").arg(rng->bounded(3)), QStringLiteral(" %1 ").arg(i));
        QCOMPARE(grid->Rows(), hosts->hostcount() + 1);
        for (int h = 0; h < 800; ++h) {
            const QString name = QStringLiteral("host-%1").arg(h);
            int scanned = 0;
            for (int r = 1; r <= hosts->hostcount(); ++r)
                if (cell(r, 0) == name)
                    scanned = r;
            QCOMPARE(hosts->rowOf(name), scanned);
        }
    }

    // Past its text bound the grid takes no reading that would grow it; the others still land.
    void textIsBounded() {
        store(QStringLiteral("A"), QStringLiteral(" CPU"), QStringLiteral(" 45.0 "));
        hosts->setTextBudgetForTesting(grid->textChars());
        store(QStringLiteral("A"), QStringLiteral(" CPU"), QStringLiteral(" 46.5 "),
              QStringLiteral("20:05:00"));
        QCOMPARE(cell(1, 4), QStringLiteral(" 46.5 ")); // same size: lands
        QCOMPARE(cell(1, 2), QStringLiteral("20:05:00"));
        store(QStringLiteral("A"), QStringLiteral(" CPU"), QStringLiteral(" 1"), QStringLiteral("20:05:01"));
        QCOMPARE(cell(1, 4), QStringLiteral(" 1")); // shorter: lands
        store(QStringLiteral("A"), QStringLiteral(" CPU"), QStringLiteral(" 123456 "),
              QStringLiteral("23:00:00"));
        QCOMPARE(cell(1, 4), QStringLiteral(" 1")); // longer: dropped, time too
        QCOMPARE(cell(1, 2), QStringLiteral("20:05:01"));
        store(QStringLiteral("A"), QStringLiteral(" Fan"), QStringLiteral(" 1"));
        QCOMPARE(cell(1, 5), QString()); // a new sensor: dropped
        const qint64 before = grid->textChars();
        store(QStringLiteral("B"), QStringLiteral(" CPU"), QStringLiteral(" 1"));
        QCOMPARE(hosts->hostcount(), 1); // a new host: dropped
        QCOMPARE(grid->textChars(), before);
        hosts->setTextBudgetForTesting(HostGrid::TextBudget);
        store(QStringLiteral("B"), QStringLiteral(" CPU"), QStringLiteral(" 1"));
        QCOMPARE(hosts->hostcount(), 2);
    }

    void textCountFollowsEveryWrite() {
        for (int i = 0; i < 200; ++i)
            store(QStringLiteral("H%1").arg(i % 7), QStringLiteral(" S%1").arg(i % 5),
                  QStringLiteral(" %1 ").arg(i * 37));
        for (const int rows : {grid->Rows(), 3}) { // all rows, then cut down to three
            grid->setRows(rows);
            qint64 sum = 0;
            for (int r = 0; r < grid->Rows(); ++r)
                for (int c = 0; c < FlexGrid::Columns; ++c)
                    sum += grid->textAt(r, c).size();
            QCOMPARE(grid->textChars(), sum);
        }
    }

    void hostsBeyondTheLastRowAreDropped() {
        for (int i = 0; i < HostGrid::MaxHosts; ++i)
            store(QString::number(i), QStringLiteral(" A"), QStringLiteral(" 1 "));
        QCOMPARE(hosts->hostcount(), 32767);
        QCOMPARE(grid->Rows(), 32768);
        store(QStringLiteral("one too many"), QStringLiteral(" A"), QStringLiteral(" 1 "));
        QCOMPARE(hosts->hostcount(), 32767);
        QCOMPARE(grid->Rows(), 32768);
        QCOMPARE(hosts->rowOf(QStringLiteral("one too many")), 0);
        store(QStringLiteral("5"), QStringLiteral(" A"), QStringLiteral(" still "));
        QCOMPARE(cell(6, 4), QStringLiteral(" still "));
    }

    // The slot search reads only the names that are there; it must give what a plain scan of all 64
    // name columns with trimmed names gives, whatever the grid holds.
    void slotSearchAgreesWithAFullScan() {
        auto scan = [&](int row, QStringView wanted) {
            int slot = 0;
            for (int j = HostGrid::FirstNameCol; j <= HostGrid::LastNameCol; j += 2) {
                const QStringView c = ReadingParser::trim(grid->textAt(row, j));
                if (c == wanted)
                    slot = j;
                else if (c.isEmpty() && slot == 0)
                    slot = j;
            }
            return slot;
        };
        static const char *const odd[] = {"", " ", "  ", " S3", "  S3", "S3", "S3 ", " S3 ", " S1", "x"};
        QRandomGenerator rng(2024);
        for (int i = 0; i < 4000; ++i) {
            if (hosts->hostcount() > 0 && rng.bounded(4) == 0) // written from outside, oddly spaced
                grid->setTextAt(1 + rng.bounded(hosts->hostcount()), 3 + 2 * rng.bounded(64),
                                QString::fromLatin1(odd[rng.bounded(10)]));
            const QString host = QStringLiteral("H%1").arg(rng.bounded(3));
            const QString sensor =
                rng.bounded(10) == 0 ? QStringLiteral(" ") : QStringLiteral(" S%1").arg(rng.bounded(70));
            const int row = hosts->rowOf(host);
            const int expected = row ? scan(row, ReadingParser::trim(sensor)) : 0;
            store(host, sensor, QStringLiteral(" %1 ").arg(i));
            if (row)
                QCOMPARE(hosts->sensorcol(), expected);
        }
    }
};

ZARARE_TEST(HostGridTest)
#include "HostGridTest.moc"
