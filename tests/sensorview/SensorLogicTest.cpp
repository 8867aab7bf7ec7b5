#include "TestRegistry.h"
#include "sensorview/CsvWriter.h"
#include "sensorview/NameFilter.h"
#include "sensorview/SensorSort.h"
#include "sensorview/SensorTableModel.h"
#include "sensorview/SensorViewPrefs.h"

#include <QTest>

// The sensor view's pure rules: name patterns, row order, CSV fields, remembered lines, age texts.
class SensorLogicTest : public QObject {
    Q_OBJECT
private slots:
    void patterns_data() {
        QTest::addColumn<bool>("glob");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("matches");
        QTest::newRow("substring, any case") << false << "cpu"
                                             << "Core CPU Temp" << true;
        QTest::newRow("substring, spaces around ignored") << false << "  temp "
                                                          << "CPU Temp" << true;
        QTest::newRow("substring misses") << false << "gpu"
                                          << "CPU Temp" << false;
        QTest::newRow("search with wildcard is whole-name") << false << "cpu*"
                                                            << "Core CPU" << false;
        QTest::newRow("search glob") << false << "*fan?"
                                     << "Case Fan1" << true;
        QTest::newRow("glob exact, any case") << true << "vcore"
                                              << "VCore" << true;
        QTest::newRow("glob is whole name") << true << "Temp"
                                            << "CPU Temp" << false;
        QTest::newRow("star crosses slashes") << true << "a*z"
                                              << "a/b/z" << true;
        QTest::newRow("set") << true << "fan[12]"
                             << "Fan2" << true;
        QTest::newRow("negated set") << true << "fan[!12]"
                                     << "Fan2" << false;
        QTest::newRow("unclosed bracket is literal") << true << "a[b"
                                                     << "a[b" << true;
        QTest::newRow("regex characters are literal") << true << "a.(b)+"
                                                      << "a.(b)+" << true;
        QTest::newRow("regex characters do not match others") << true << "a.b"
                                                              << "axb" << false;
        QTest::newRow("escaped name matches only itself")
            << true << NameFilter::escape("CPU* [x]?") << "CPU* [x]?" << true;
        QTest::newRow("escaped name is no wildcard")
            << true << NameFilter::escape("CPU*") << "CPU Temp" << false;
    }
    void patterns() {
        QFETCH(bool, glob);
        QFETCH(QString, pattern);
        QFETCH(QString, name);
        const NameFilter f = glob ? NameFilter::glob(pattern) : NameFilter::search(pattern);
        QTEST(f.matches(name), "matches");
    }

    void order_data() {
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<bool>("ascending");
        QTest::addColumn<QString>("expected"); // the cells' indices in sorted order
        const QStringList mixed{" 10 ", "", "9.5", "abc", "-3", "Abd", " ", "1,5", "1e3"};
        QTest::newRow("numbers, texts, empties") << mixed << true << "4 7 2 0 8 3 5 1 6";
        QTest::newRow("reversed: empties still last") << mixed << false << "8 0 2 7 4 5 3 1 6";
        QTest::newRow("equal keys keep their order")
            << QStringList{"2", "1", "2.0", "1"} << true << "1 3 0 2";
        QTest::newRow("nan and inf are texts") << QStringList{"nan", "5", "inf"} << true << "1 2 0";
    }
    void order() {
        QFETCH(QStringList, cells);
        QFETCH(bool, ascending);
        std::vector<SensorSort::Key> keys;
        for (int i = 0; i < cells.size(); ++i)
            keys.push_back(SensorSort::keyOf(cells[i], i));
        SensorSort::sort(keys, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
        QStringList got;
        for (const auto &k : keys)
            got << QString::number(k.row);
        QTEST(got.join(QLatin1Char(' ')), "expected");
    }

    void csvFields_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("numeric");
        QTest::addColumn<QString>("field");
        QTest::newRow("number trimmed") << " 45.0 " << true << "45.0";
        QTest::newRow("decimal comma") << "1,5" << true << "1.5";
        QTest::newRow("number in a text column") << " 45.0 " << false << "\" 45.0 \"";
        QTest::newRow("non-number plain") << "OK" << true << "OK";
        QTest::newRow("comma") << "a,b" << false << "\"a,b\"";
        QTest::newRow("quote doubled") << "say \"hi\"" << false << "\"say \"\"hi\"\"\"";
        QTest::newRow("line break") << "a\nb" << true << "\"a\nb\"";
        QTest::newRow("carriage return") << "a\rb" << false << "\"a\rb\"";
        QTest::newRow("empty") << "" << true << "";
    }
    void csvFields() {
        QFETCH(QString, text);
        QFETCH(bool, numeric);
        QTEST(CsvWriter::field(text, numeric), "field");
    }

    void csvAndTabs() {
        CsvTable t;
        t.header = QStringList{"Host", "A,B"};
        t.numeric = {false, true};
        t.rows = {{"h1", " 2 "}, {"h\"2", "x\ty"}};
        QCOMPARE(CsvWriter::csv(t), QByteArray("Host,\"A,B\"\r\nh1,2\r\n\"h\"\"2\",x\ty\r\n"));
        QCOMPARE(CsvWriter::tabSeparated(t.rows), QStringLiteral("h1\t 2 \nh\"2\tx y\n"));
    }

    void prefsLines_data() {
        QTest::addColumn<QStringList>("lines"); // "keyword|arguments"
        QTest::addColumn<QString>("error");     // of the last line, empty when all are read
        QTest::addColumn<QStringList>("written");
        QTest::newRow("view and patterns")
            << QStringList{"view|by-sensor", "hide|CPU*", "hide-host| render-0? "} << ""
            << QStringList{"view by-sensor", "hide CPU*", "hide-host render-0?"};
        QTest::newRow("quoted, with a hash and quotes")
            << QStringList{"VIEW|readings", "hide|\"Fan #1 \"\"top\"\" \""} << ""
            << QStringList{"view readings", "hide \"Fan #1 \"\"top\"\" \""};
        QTest::newRow("duplicates kept once")
            << QStringList{"hide|a", "hide|a"} << "" << QStringList{"view readings", "hide a"};
        QTest::newRow("bad view") << QStringList{"view|sideways"}
                                  << "\"view\" takes \"by-sensor\" or \"readings\""
                                  << QStringList{"view readings"};
        QTest::newRow("no pattern") << QStringList{"hide-host|  "} << "\"hide-host\" needs a pattern"
                                    << QStringList{"view readings"};
        QTest::newRow("open quote") << QStringList{"hide|\"abc"} << "the quote is not closed"
                                    << QStringList{"view readings"};
        QTest::newRow("text after quote")
            << QStringList{"hide|\"a\" b"} << "text after the closing quote" << QStringList{"view readings"};
    }
    void prefsLines() {
        QFETCH(QStringList, lines);
        QFETCH(QString, error);
        QFETCH(QStringList, written);
        SensorViewPrefs p;
        QString why;
        for (const QString &line : lines) {
            const QString keyword = line.section(QLatin1Char('|'), 0, 0);
            QVERIFY(SensorViewPrefs::handles(keyword));
            QCOMPARE(p.parse(keyword, line.section(QLatin1Char('|'), 1), &why), error.isEmpty());
        }
        QCOMPARE(why, error);
        QCOMPARE(p.lines(), written);
        SensorViewPrefs back; // what is written reads back the same
        for (const QString &line : p.lines())
            QVERIFY(back.parse(line.section(QLatin1Char(' '), 0, 0), line.section(QLatin1Char(' '), 1)));
        QCOMPARE(back, p);
        QVERIFY(!SensorViewPrefs::handles(u"stale"));
    }

    void ages_data() {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("text");
        QTest::newRow("now") << qint64(999) << "0 s ago";
        QTest::newRow("seconds") << qint64(59999) << "59 s ago";
        QTest::newRow("minutes") << qint64(250000) << "4 min 10 s ago";
        QTest::newRow("hours") << qint64(7500000) << "2 h 5 min ago";
        QTest::newRow("days") << qint64(273600000) << "3 d 4 h ago";
        QTest::newRow("unknown") << qint64(-1) << "";
    }
    void ages() {
        QFETCH(qint64, ms);
        QTEST(SensorTableModel::ageText(ms), "text");
    }
};
ZARARE_TEST(SensorLogicTest)
#include "SensorLogicTest.moc"
