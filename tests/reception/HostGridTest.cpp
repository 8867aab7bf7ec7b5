#include "reception/HostGrid.h"
#include "TestRegistry.h"
#include "grid/FlexGrid.h"

#include <QHash>
#include <QRandomGenerator>
#include <QTest>
#include <memory>
#include <tuple>

using namespace Qt::StringLiterals;

namespace {
// A list of entries split at "/"; "N*entry" stands for N entries, with %i the number 0 to N-1, %r the
// row of the %i-th host, %n the name column of slot %i and %v its value column.
QStringList expanded(const QString &list) {
    QStringList out;
    for (const QString &e : list.split(u'/')) {
        bool repeated = false;
        const int n = e.section(u'*', 0, 0).toInt(&repeated);
        for (int i = 0; i < (repeated ? n : 1); ++i)
            out << QString(repeated ? e.section(u'*', 1) : e)
                       .replace(u"%i"_s, QString::number(i))
                       .replace(u"%r"_s, QString::number(i + 1))
                       .replace(u"%n"_s, QString::number(3 + 2 * i))
                       .replace(u"%v"_s, QString::number(4 + 2 * i));
    }
    return out;
}
} // namespace

class HostGridTest : public QObject {
    Q_OBJECT

    std::unique_ptr<FlexGrid> grid;
    std::unique_ptr<HostGrid> hosts;

    // A reading as host|sensor|value[|time].
    void store(const QString &r) {
        const QStringList f = r.split(u'|');
        ReadingParser reading;
        std::tie(reading.hostname, reading.sensorname, reading.sensorvalue, reading.msgdate,
                 reading.msgtime) = std::tuple(f[0], f[1], f[2], u"Sep  9"_s, f.value(3, u"20:04:58"_s));
        hosts->fillgrid(reading);
    }
    QString cell(int row, int col) const { return grid->textAt(row, col); }

private slots:
    void init() {
        hosts.reset();
        grid = std::make_unique<FlexGrid>();
        hosts = std::make_unique<HostGrid>(*grid);
        hosts->writeHeaderRow();
    }

    // Each row: the readings (and "!": the grid's text is bounded to what it holds now, "!!": the bound is
    // lifted; "@row,column=text": a cell written from outside), then the cells they must leave as
    // row,column=text (an empty text: the cell stays empty), the slot the last reading went to (0: none, -1:
    // not checked) and the number of hosts.
    static void row(const char *name, const char *readings, const char *cells, int slot, int hosts) {
        QTest::newRow(name) << readings << cells << slot << hosts;
    }
    void readingsLand_data() {
        QTest::addColumn<QString>("readings");
        QTest::addColumn<QString>("cells");
        QTest::addColumn<int>("slot");
        QTest::addColumn<int>("hostCount");
        row("first reading makes row 1, under the header", "OFFICE| CPU Temp| 45.0 ",
            "0,0=/0,1=Date/0,2=Time/64*0,%n=Name/64*0,%v=Value/1,0=OFFICE/1,1=Sep  9/1,2=20:04:58/"
            "1,3= CPU Temp/1,4= 45.0 /1,5=",
            3, 1);
        row("same sensor overwrites, a second goes right",
            "OFFICE| CPU Temp| 45.0 /OFFICE| CPU Temp| 46.5 |20:05:00/OFFICE| Fan| 1200 |20:05:01",
            "1,2=20:05:01/1,4= 46.5 /1,5= Fan/1,6= 1200 /1,7=", 5, 1);
        row("names differing in surrounding spaces share a slot", "H| CPU Temp| 1 /H|   CPU Temp  | 2 ",
            "1,3=   CPU Temp  /1,4= 2 /1,5=", 3, 1);
        row("only spaces are trimmed", "H| \tA| 1 /H| A| 2 /H|   | 3 ", "1,3= \tA/1,5= A/1,129=   ", 129, 1);
        row("host names are exact keys, the empty one too",
            "office| A| 1 /OFFICE| A| 2 /office | A| 3 /| A| 4 /| A| 5 ",
            "1,4= 1 /2,4= 2 /3,0=office /4,0=/4,4= 5 ", 3, 4);
        row("65th sensor dropped", "64*H| S%i| 1 /H| S64| 64 |23:59:59", "64*1,%n= S%i/1,2=20:04:58", 0, 1);
        row("a known sensor updates when all slots are full",
            "64*H| S%i| 1 /H| S64| 64 /H| S10| new |20:05:00", "1,24= new /1,2=20:05:00", 23, 1);
        row("empty tag takes the last empty slot, a new name the first", "H| A| 1 /H| | e /H| B| 2 ",
            "1,5= B/1,129= /1,130= e ", 5, 1);
        row("once every other slot is taken, a new name takes the empty tag's",
            "63*H| F%i| x /H| | e /H| Last| z ", "1,127= F62/1,129= Last/1,130= z ", 129, 1);
        row("many hosts, each met again, keep their rows", "2000*h%i| A| 1 /2000*h%i| A| 2 /h7| B| 3 ",
            "2000*%r,0=h%i/2000*%r,4= 2 /8,6= 3 ", 5, 2000);
        row("hosts beyond the last row are dropped", "32767*%i| A| 1 /one too many| A| 1 /5| A| still ",
            "32767,0=32766/6,4= still ", 3, HostGrid::MaxHosts);
        // Past its text bound the grid takes no reading that would grow it; the others still land.
        row("at the text bound a value of the same size lands", "A| CPU| 45.0 /!/A| CPU| 46.5 |20:05:00",
            "1,4= 46.5 /1,2=20:05:00", 3, 1);
        row("a longer one is dropped, its time too",
            "A| CPU| 45.0 /!/A| CPU| 1|20:05:01/A| CPU| 123456 |23:00:00", "1,4= 1/1,2=20:05:01", 3, 1);
        row("a new sensor is dropped", "A| CPU| 45.0 /!/A| Fan| 1", "1,5=/1,6=", 5, 1);
        row("a new host is dropped", "A| CPU| 45.0 /!/B| CPU| 1", "1,0=A", -1, 1);
        row("new host lands once lifted", "A| CPU| 45.0 /!/B| CPU| 1/!!/B| CPU| 1", "2,0=B/2,4= 1", 3, 2);
        // The slot search reads a name stored as one space and the trimmed name without trimming it; a
        // name written otherwise is trimmed, and a matching name right of an empty slot wins over it.
        row("a name written with a trailing space", "H| A| 1 /@1,3= S3 /H| S3| 2 ", "1,4= 2 ", 3, 1);
        row("a name written without a leading space", "H| A| 1 /@1,3=S3/H| S3| 2 ", "1,4= 2 ", 3, 1);
        row("match right of an emptied slot", "H| A| 1 /H| B| 2 /@1,3=/@1,5=  S3/H| S3| 3 ", "1,6= 3 ", 5, 1);
        // A reading first tries the slot right of the last one written in its row; the slot it takes is
        // still the last one holding its name, and a row met in between does not count.
        row("the slot after the last one, in order", "H| A| 1 /H| B| 2 /H| A| 3 /H| B| 4 ", "1,4= 3 /1,6= 4 ",
            5, 1);
        row("a later slot with the same name wins over the next one",
            "H| A| 1 /H| B| 2 /@1,7= B/H| A| 3 /H| B| 4 ", "1,6= 2 /1,8= 4 ", 7, 1);
        row("the next slot's name differs in spaces", "H| A| 1 /H| B| 2 /@1,5=  B /H| A| 3 /H| B| 4 ",
            "1,5= B/1,6= 4 ", 5, 1);
        row("another row between", "H| A| 1 /H| B| 2 /H| A| 3 /G| A| 4 /H| B| 5 ", "1,6= 5 /2,4= 4 ", 5, 2);
        row("after the last slot", "64*H| S%i| 1 /H| S0| 2 /H| S1| 3 ", "1,4= 2 /1,6= 3 ", 5, 1);
    }
    void readingsLand() {
        QFETCH(QString, readings);
        QFETCH(QString, cells);
        const auto at = [](const QString &c, int &row, int &col) { // "row,column=text": the text
            const qsizetype comma = c.indexOf(u','), equals = c.indexOf(u'=');
            row = c.left(comma).toInt(), col = c.mid(comma + 1, equals - comma - 1).toInt();
            return c.mid(equals + 1);
        };
        int row = 0, col = 0;
        qint64 cap = HostGrid::TextBudget;
        for (const QString &r : expanded(readings)) {
            const QString text = at(r.mid(1), row, col); // of "@row,column=text"
            if (r.startsWith(u'!'))
                hosts->setTextBudgetForTesting(cap = r == "!"_L1 ? grid->textChars() : HostGrid::TextBudget);
            else if (r.startsWith(u'@'))
                grid->setTextAt(row, col, text);
            else
                store(r);
        }
        QVERIFY(grid->textChars() <= cap);
        for (const QString &c : expanded(cells)) {
            const QString text = at(c, row, col);
            QVERIFY2(cell(row, col) == text, qPrintable(c + u" read "_s + cell(row, col)));
            if (col >= 4 && col % 2 == 0)
                QVERIFY(!grid->hasForeColor(row, col));
        }
        QFETCH(int, slot);
        QVERIFY(slot < 0 || hosts->sensorcol() == slot);
        QTEST(hosts->hostcount(), "hostCount");
    }

    // Names whose one-byte keys are equal are still told apart by their text, whichever comes first,
    // and the key of a cell follows a write from outside.
    void namesOfOneKeyKeepTheirSlots() {
        QHash<quint8, QString> byKey;
        QString a, b;
        for (int i = 0; b.isEmpty(); ++i) {
            const QString name = u"S"_s + QString::number(i);
            const quint8 key = FlexGrid::nameKey(name);
            if (byKey.contains(key))
                a = byKey[key], b = name;
            byKey.insert(key, name);
        }
        int value = 0;
        for (const QString &name : {a, b, a})
            store(u"H| %1| %2 "_s.arg(name).arg(++value));
        QCOMPARE(cell(1, 4) + cell(1, 6) + cell(1, 8), u" 3  2 "_s);
        grid->setTextAt(1, 3, u"  "_s); // only spaces: an empty slot again, which the first new name takes
        store(u"H| %1| 4 "_s.arg(b)), store(u"H| New| 5 "_s);
        QCOMPARE(cell(1, 3) + cell(1, 6), u" New 4 "_s);
    }

    // The grid's text count is the sum of its cells' sizes (also after rows are cut), and a sensor name is
    // stored once for all hosts.
    void textCountAndNamePoolAgreeWithAScan() {
        auto *rng = QRandomGenerator::global();
        for (int i = 0; i < 3000; ++i) // new name strings each time, as the parser makes them
            store(u"host-%1| S%2| %3 "_s.arg(rng->bounded(800)).arg(rng->bounded(3)).arg(i * 37));
        QHash<QString, QString> first; // the first cell seen with each sensor name
        for (int r = 1; r <= hosts->hostcount(); ++r)
            for (int c = HostGrid::FirstNameCol; c <= HostGrid::LastNameCol; c += 2) {
                const QString name = cell(r, c);
                QVERIFY(name.isEmpty() || name.isSharedWith(*first.insert(name, first.value(name, name))));
            }
        for (const int rows : {grid->Rows(), 3}) { // all rows, then cut down to three
            grid->setRows(rows);
            qint64 sum = 0;
            for (int r = 0; r < grid->Rows(); ++r)
                for (int c = 0; c < FlexGrid::Columns; ++c)
                    sum += cell(r, c).size();
            QCOMPARE(grid->textChars(), sum);
        }
    }
};

ZARARE_TEST(HostGridTest)
#include "HostGridTest.moc"
