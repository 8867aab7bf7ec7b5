#include "reception/ReadingParser.h"
#include "TestRegistry.h"

#include <QTest>

using namespace Qt::StringLiterals;

class ReadingParserTest : public QObject {
    Q_OBJECT

    static ReadingParser parsed(const QString &datagram) {
        ReadingParser r;
        r.hostname = u"OLDHOST"_s;
        r.sensorname = u" Old"_s;
        r.udpdata = datagram;
        r.parseudp();
        return r;
    }

private slots:
    void fields_data() {
        const char *columns[] = {"datagram", "date", "time", "host", "sensor", "value", "rest"};
        for (const char *column : columns)
            QTest::addColumn<QString>(column);
        // Before each row the host was "OLDHOST" and the sensor name " Old".
        const char *const rows[][8] = {
            {"worked example", "<13>Sep  9 20:04:58 OFFICE sensor[CPU Temp]: Temp=45.0 C", "Sep  9",
             "20:04:58", "OFFICE", " CPU Temp", " 45.0 ", "Temp=45.0 C"},
            {"no priority", "Sep  9 20:04:58 OFFICE sensor[Fan]: Speed=1200 RPM", "Sep  9", "20:04:58",
             "OFFICE", " Fan", " 1200 ", "Speed=1200 RPM"},
            {"value without unit", "<13>Dec  6 19:32:12 pc sensor[CPU Temp]: Temp=45.0", "Dec  6", "19:32:12",
             "pc", " CPU Temp", " 45.0 ", "Temp=45.0"},
            {"padded host", "<13>Sep  9 20:04:58 OFFICE  sensor[X]: v=1 u", "Sep  9", "20:04:58", "OFFICE",
             " X", " 1 ", "v=1 u"},
            {"spaces inside brackets", "<13>Sep  9 20:04:58 H s[ CPU Temp ]: T=1 C", "Sep  9", "20:04:58",
             "H", " CPU Temp", " 1 ", "T=1 C"},
            {"empty tag", "<13>Sep  9 20:04:58 H s[]: T=1 C", "Sep  9", "20:04:58", "H", " ", " 1 ", "T=1 C"},
            {"space after equals", "<13>Sep  9 20:04:58 H s[A]: Temp= 45.0", "Sep  9", "20:04:58", "H", " A",
             "  ", "Temp= 45.0"},
            {"no equals sign", "<13>Sep  9 20:04:58 H s[A]: 45.0 C", "Sep  9", "20:04:58", "H", " A",
             " 45.0 ", "45.0 C"},
            {"no equals, no space", "<13>Sep  9 20:04:58 H s[A]: 45.0", "Sep  9", "20:04:58", "H", " A",
             " 45.0 ", "45.0"},
            {"several equals", "<13>Sep  9 20:04:58 H s[A]: a=b=c d", "Sep  9", "20:04:58", "H", " A",
             " b=c ", "a=b=c d"},
            {"several colons", "<13>Sep  9 20:04:58 H s[A]: x:y=1 u", "Sep  9", "20:04:58", "H", " A", " 1 ",
             "x:y=1 u"},
            {"no colon keeps the remainder", "<13>Sep  9 20:04:58 H s[A] T=2 C", "Sep  9", "20:04:58", "H",
             " A", " 2 ", "s[A] T=2 C"},
            // No brackets: the previous sensor name stays.
            {"tag without brackets", "<13>Sep  9 20:04:58 H sensor: T=3 C", "Sep  9", "20:04:58", "H", " Old",
             " 3 ", "T=3 C"},
            // "]" before "[": the first "]" after the "[" closes the name.
            {"reversed brackets", "<13>Sep  9 20:04:58 H a]b[CPU]: T=4 C", "Sep  9", "20:04:58", "H", " CPU",
             " 4 ", "T=4 C"},
            {"reversed, never closed", "<13>Sep  9 20:04:58 H a]b[CPU: T=5 C", "Sep  9", "20:04:58", "H",
             " Old", " 5 ", "T=5 C"},
            // 16 characters or fewer: nothing after the time stamp, host and sensor stay.
            {"time stamp only", "<13>Sep  9 20:04:58", "Sep  9", "20:04:58", "OLDHOST", " Old", "  ", ""},
            {"empty", "", "", "", "OLDHOST", " Old", "  ", ""},
            {"only >", ">", "", "", "OLDHOST", " Old", "  ", ""},
            // The first ">" anywhere is taken as the end of the priority.
            {"late >", "Sep  9 20:04:58 H s[A]: v=a>b", "b", "", "OLDHOST", " Old", "  ", ""},
            {"no host space", "<13>Sep  9 20:04:58 lonehost", "Sep  9", "20:04:58", "OLDHOST", " Old",
             " lonehost ", "lonehost"},
            {"tab is not trimmed", "<13>Sep  9 20:04:58 H s[\tA]: v=1", "Sep  9", "20:04:58", "H", " \tA",
             " 1 ", "v=1"},
            {"unicode", "<13>Sep  9 20:04:58 büro s[Temp °C]: T=45,0 °C", "Sep  9", "20:04:58", "büro",
             " Temp °C", " 45,0 ", "T=45,0 °C"},
            {"RFC 5424", "<13>1 2026-12-06T19:32:12.123Z host app 1 - - msg", "Dec  6", "19:32:12", "host",
             " Old", " msg ", "msg"},
        };
        const auto add = [](const QStringList &row) {
            QTestData &data = QTest::newRow(qPrintable(row[0]));
            for (int i = 1; i < 8; ++i)
                data << row[i];
        };
        for (const auto &row : rows)
            add(QStringList(std::begin(row), std::end(row)));
        // Every remainder is capped at 255 characters: after the priority, the 26 before the value and 229
        // of it.
        const QString v229(229, 'v'_L1);
        add({"value capped", "<13>Sep  9 20:04:58 H s[A]: T=" + QString(400, 'v'_L1), "Sep  9", "20:04:58",
             "H", " A", " " + v229 + " ", "T=" + v229});
        // A ">" beyond position 32,767 of a maximum-size datagram.
        add({"far priority mark", QString(40000, 'a'_L1) + ">Sep  9 20:04:58 H s[A]: T=1", "Sep  9",
             "20:04:58", "H", " A", " 1 ", "T=1"});
    }
    void fields() {
        QFETCH(QString, datagram);
        const ReadingParser r = parsed(datagram);
        QTEST(r.msgdate, "date");
        QTEST(r.msgtime, "time");
        QTEST(r.hostname, "host");
        QTEST(r.sensorname, "sensor");
        QTEST(r.sensorvalue, "value");
        QTEST(r.udpdata, "rest");
    }

    void hostWhoseSpaceLiesBeyondTheCapIsNoHost() {
        const QString line = "Sep  9 20:04:58 " + QString(300, 'h'_L1) + " s[A]: T=1";
        QCOMPARE(parsed(line).hostname, u"OLDHOST"_s);
    }

    void trimTouchesSpacesOnly() {
        QCOMPARE(ReadingParser::trim(u"  a b  "), QStringView(u"a b"));
        QCOMPARE(ReadingParser::trim(u"\ta\t"), QStringView(u"\ta\t"));
        QCOMPARE(ReadingParser::trim(u"   "), QStringView());
    }

    // The parser writes changed fields into their own buffers, in place where nothing else holds them; a
    // text that someone else still holds (a grid cell) keeps its value, and what a line lacks carries over.
    void fieldsAreRewrittenButNeverAHeldOne() {
        ReadingParser r;
        r.udpdata = u"<13>Sep  9 20:04:58 OFFICE sensor[CPU Temp]: Temp=45.0 C"_s;
        r.parseudp();
        const QStringList held{r.hostname, r.sensorname, r.sensorvalue, r.udpdata};
        const auto parse = [&r](const QString &line, const QStringList &expected) {
            r.udpdata = line;
            r.parseudp();
            QCOMPARE((QStringList{r.msgtime, r.hostname, r.sensorname, r.sensorvalue, r.udpdata}), expected);
        };
        parse(u"<13>Dec 24 23:59:59 LAB sensor[Fan 1]: Fan=1200 RPM"_s,
              {"23:59:59", "LAB", " Fan 1", " 1200 ", "Fan=1200 RPM"});
        QCOMPARE(held, (QStringList{"OFFICE", " CPU Temp", " 45.0 ", "Temp=45.0 C"}));
        // Unshared now: shorter and longer in place, then a line with only a time stamp.
        parse(u"<13>Dec 24 23:59:59 LAB sensor[Fan 12]: Fan=900 RPM"_s,
              {"23:59:59", "LAB", " Fan 12", " 900 ", "Fan=900 RPM"});
        parse(u"<13>Dec 25 00:00:01"_s, {"00:00:01", "LAB", " Fan 12", "  ", ""});
    }
};

ZARARE_TEST(ReadingParserTest)
#include "ReadingParserTest.moc"
