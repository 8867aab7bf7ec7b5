#include "TestRegistry.h"
#include "sensorview/CsvWriter.h"
#include "sensorview/NameFilter.h"
#include "sensorview/SensorSort.h"
#include "sensorview/SensorViewPrefs.h"

#include <QTest>

// The sensor view's pure rules: name patterns, row order, CSV fields, remembered lines.
class SensorLogicTest : public QObject {
    Q_OBJECT
private slots:
    void patterns_data() {
        // how: 's' filter box search, 'g' glob, 'e' glob of the escaped name; pattern; name; whether it
        // matches
        QTest::addColumn<QString>("table");
        QTest::newRow("substring, any case, spaces around ignored") << "s;  cpu ;Core CPU Temp;1";
        QTest::newRow("search with wildcard is whole-name") << "s;cpu*;Core CPU;0";
        QTest::newRow("glob exact, any case") << "g;vcore;VCore;1";
        QTest::newRow("glob is whole name") << "g;Temp;CPU Temp;0";
        QTest::newRow("star crosses slashes") << "g;a*z;a/b/z;1";
        QTest::newRow("set") << "g;fan[12];Fan2;1";
        QTest::newRow("negated set") << "g;fan[!12];Fan2;0";
        QTest::newRow("unclosed bracket is literal") << "g;a[b;a[b;1";
        QTest::newRow("regex characters are literal") << "g;a.(b)+;a.(b)+;1";
        QTest::newRow("regex characters do not match others") << "g;a.b;axb;0";
        QTest::newRow("escaped name matches only itself") << "e;CPU* [x]?;CPU* [x]?;1";
        QTest::newRow("escaped name is no wildcard") << "e;CPU*;CPU Temp;0";
    }
    void patterns() {
        QFETCH(QString, table);
        const QStringList t = table.split(u';');
        const NameFilter f = t[0] == QLatin1String("s")   ? NameFilter::search(t[1])
                             : t[0] == QLatin1String("g") ? NameFilter::glob(t[1])
                                                          : NameFilter::glob(NameFilter::escape(t[1]));
        QCOMPARE(f.matches(t[2]), t[3] == QLatin1String("1"));
    }

    void order_data() {
        QTest::addColumn<QString>("table"); // the cells, by '|'; + or - the order; their indices in order
        const QString mixed = QStringLiteral(" 10 ||9.5|abc|-3|Abd| |1,5|1e3|nan|inf"); // nan, inf: texts
        QTest::newRow("numbers, texts, empties") << mixed + ";+;4 7 2 0 8 3 5 10 9 1 6";
        QTest::newRow("reversed: empties still last") << mixed + ";-;8 0 2 7 4 9 10 5 3 1 6";
        QTest::newRow("equal keys keep their order") << "2|1|2.0|1;+;1 3 0 2";
    }
    void order() {
        QFETCH(QString, table);
        const QStringList t = table.split(u';'), cells = t[0].split(u'|');
        std::vector<SensorSort::Key> keys;
        for (int i = 0; i < cells.size(); ++i)
            keys.push_back(SensorSort::keyOf(cells[i], i));
        SensorSort::sort(keys, t[1] == QLatin1String("-") ? Qt::DescendingOrder : Qt::AscendingOrder);
        QStringList got;
        for (const auto &k : keys)
            got << QString::number(k.row);
        QCOMPARE(got.join(u' '), t[2]);
    }

    // A number is trimmed, with a point, in a number column of a row only; other fields are quoted when
    // they hold a separator, quote, line break or outer space. A copy keeps each cell on its line and column.
    void csvAndTabs() {
        const CsvTable t{{"Host", "1,5"},
                         {false, true, true, false, true, false, false, true, true},
                         {{"h1", "1,5", " 45.0 ", " 45.0 ", "OK", "a\rb", "say \"hi\"", "a\nb", ""}}};
        QCOMPARE(CsvWriter::csv(t), QByteArray("Host,\"1,5\"\r\nh1,1.5,45.0,\" 45.0 \",OK,\"a\rb\","
                                               "\"say \"\"hi\"\"\",\"a\nb\",\r\n"));
        QCOMPARE(CsvWriter::tabSeparated({{"h\"1", "x\ty\r\nz"}}), QStringLiteral("h\"1\tx y  z\n"));
    }

    void prefsLines_data() {
        // lines read ("keyword|arguments", by commas); the last one's error, empty when all are read; written
        QTest::addColumn<QString>("table");
        // clang-format off
        QTest::newRow("quoted, with a hash and quotes") << "VIEW|readings,hide|\"Fan #1 \"\"top\"\" \",hide-host| render-0? ;;view readings,hide \"Fan #1 \"\"top\"\" \",hide-host render-0?";
        QTest::newRow("duplicates kept once") << "hide|a,hide|a;;view readings,hide a";
        QTest::newRow("bad view") << "view|sideways;\"view\" takes \"by-sensor\" or \"readings\";view readings";
        QTest::newRow("no pattern") << "hide-host|  ;\"hide-host\" needs a pattern;view readings";
        QTest::newRow("open quote") << "hide|\"abc;the quote is not closed;view readings";
        QTest::newRow("text after quote") << "hide|\"a\" b;text after the closing quote;view readings";
        // clang-format on
    }
    void prefsLines() {
        QFETCH(QString, table);
        const QStringList t = table.split(u';');
        SensorViewPrefs p;
        QString why;
        for (const QString &line : t[0].split(u',')) {
            const QString keyword = line.section(u'|', 0, 0);
            QVERIFY(SensorViewPrefs::handles(keyword));
            QCOMPARE(p.parse(keyword, line.section(u'|', 1), &why), t[1].isEmpty());
        }
        QCOMPARE(why, t[1]);
        QCOMPARE(p.lines().join(u','), t[2]);
        SensorViewPrefs back; // what is written reads back the same
        for (const QString &line : p.lines())
            QVERIFY(back.parse(line.section(u' ', 0, 0), line.section(u' ', 1)));
        QCOMPARE(back, p);
        QVERIFY(!SensorViewPrefs::handles(u"stale"));
    }
};
ZARARE_TEST(SensorLogicTest)
#include "SensorLogicTest.moc"
