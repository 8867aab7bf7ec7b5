#include "TestRegistry.h"
#include "text/NumberText.h"
#include "text/SequentialReader.h"
#include "text/TextBuffer.h"

#include <QTest>

// Number texts as the settings file, the options dialog and the traffic counters write and read them,
// the reader of the settings record, and the text comparison of the reading path.
class TextTest : public QObject {
    Q_OBJECT
private slots:
    // A double with 15 significant digits, a single with 7; the exponent form from 1E15 (1E7) on and
    // below 1E-4. Each text read back gives the number it was written from, as near as its digits go.
    void numberToText_data() {
        QTest::addColumn<bool>("single");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        // clang-format off
        const std::tuple<bool, double, const char *> rows[] = {
            {false, 0.0, "0"},                  {false, 1234567890123456.0, "1.23456789012346E+15"},
            {false, -120.0, "-120"},            {false, 999999999999999.0, "999999999999999"},
            {false, 0.0001, "0.0001"},          {false, 0.00001, "1E-05"},
            {false, -2.25, "-2.25"},            {false, 0.1 + 0.2, "0.3"},
            {false, 1.5e300, "1.5E+300"},       {true, 9999999.0, "9999999"},
            {true, 1e7, "1E+07"},               {true, 12345678.0, "1.234568E+07"},
            {true, double(0.1f), "0.1"},        {true, double(3.4028235e38f), "3.402823E+38"}};
        // clang-format on
        for (const auto &[single, value, text] : rows)
            QTest::addRow("%s %s", single ? "single" : "double", text)
                << single << value << QString::fromLatin1(text);
    }
    void numberToText() {
        QFETCH(bool, single);
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(single ? NumberText::fromSingle(float(value)) : NumberText::fromDouble(value), text);
        bool ok = false;
        const double back = single ? NumberText::toSingle(text, &ok) : NumberText::toDouble(text, &ok);
        QCOMPARE(back, single ? double(text.toFloat()) : text.toDouble());
        QVERIFY(ok);
    }

    // Read as a double, and as a single, whose range is smaller. The comma is no decimal separator, and a
    // tab is no space.
    void textToNumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("single");
        const std::tuple<const char *, bool, double, bool> rows[] = {
            {"  2985 ", true, 2985.0, true}, {"+7", true, 7.0, true},      {"1E+15", true, 1e15, true},
            {"-1E+38", true, -1e38, true},   {"1E+39", true, 1e39, false}, {"1,5", false, 0.0, false},
            {"", false, 0.0, false},         {"Text1", false, 0.0, false}, {"inf", false, 0.0, false},
            {"1E+999", false, 0.0, false},   {"\t5", false, 0.0, false}};
        for (const auto &[text, ok, value, single] : rows)
            QTest::newRow(*text ? text : "empty") << QString::fromLatin1(text) << ok << value << single;
    }
    void textToNumber() {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(double, value);
        QFETCH(bool, single);
        bool good = !ok;
        QCOMPARE(NumberText::toDouble(text, &good), value);
        QCOMPARE(good, ok);
        good = !single;
        const float f = NumberText::toSingle(text, &good);
        QCOMPARE(good, single);
        if (single)
            QCOMPARE(f, float(value));
    }

    // Texts of every length up to 40 (the empty one too) against a copy, and against the copy with any
    // one character changed; one text against a view of itself.
    void sameText() {
        const QString text = QStringLiteral("Core 0 Temp: the fan of the second boards");
        for (qsizetype n = 0; n <= 40; ++n) {
            const QString copy = text.left(n);
            QVERIFY2(TextBuffer::same(text.left(n), copy), qPrintable(copy));
            QVERIFY(!TextBuffer::same(text.left(n), text.left(n + 1)));
            for (qsizetype i = 0; i < n; ++i) {
                for (const char16_t flip : {u'\x01', u'\x100'}) { // the low byte, the high one
                    QString other = copy;
                    other[i] = QChar(other[i].unicode() ^ flip);
                    QVERIFY2(!TextBuffer::same(copy, other),
                             qPrintable(QStringLiteral("%1 at %2").arg(n).arg(i)));
                }
            }
        }
        QVERIFY(TextBuffer::same(QStringView(text).first(4), QStringView(text).first(4)));
    }

    // Every length up to 40, into a separate buffer and within one buffer to every place before the
    // source (a message moved to the start of its datagram's text): the characters arrive, and nothing
    // beyond them is written.
    void copyChars() {
        QString source;
        for (int i = 0; i < 90; ++i)
            source.append(QChar(u'A' + i % 26 + (i / 26) * 0x100));
        for (qsizetype n = 0; n <= 40; ++n) {
            QString target(n + 2, QLatin1Char('#'));
            TextBuffer::copyChars(target.data() + 1, source.constData() + 3, n);
            QCOMPARE(target, QLatin1Char('#') + source.mid(3, n) + QLatin1Char('#'));
            for (qsizetype shift = 1; shift <= 45; ++shift) {
                QString moved = source;
                TextBuffer::copyChars(moved.data() + 2, moved.constData() + 2 + shift, n);
                QCOMPARE(moved, source.left(2) + source.mid(2 + shift, n) + source.mid(2 + n));
            }
        }
    }

    // A string's new length, as QString::resize gives it: in its own buffer where that is allowed, and
    // never in a buffer another string shares or one of raw data the string does not own.
    void setSize_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("size");
        for (const char *how : {"own", "shared", "raw", "reserved", "null"})
            for (int size : {0, 3, 7, 10, 11, 40})
                QTest::addRow("%s to %d", how, size) << QString::fromLatin1(how) << size;
    }
    void setSize() {
        QFETCH(QString, how);
        QFETCH(int, size);
        static const char16_t raw[] = u"raw-chars!";
        QString text, other;
        if (how == QLatin1String("raw")) {
            text = QString::fromRawData(reinterpret_cast<const QChar *>(raw), 10);
        } else if (how != QLatin1String("null")) {
            text = QStringLiteral("0123456789");
            if (how == QLatin1String("reserved"))
                text.reserve(11);
            text.detach();
            if (how == QLatin1String("shared"))
                other = text;
        }
        const QString before = text, expected = text.left(size);
        const QChar *buffer = text.constData();
        const bool inPlace = text.isDetached() && !text.isNull() && size <= text.capacity();
        TextBuffer::setSize(text, size);
        QCOMPARE(text.size(), qsizetype(size));
        QCOMPARE(text.left(qMin<qsizetype>(size, before.size())), expected);
        QCOMPARE(text.constData()[size], QChar(0));
        if (inPlace)
            QCOMPARE(text.constData(), buffer);
        QVERIFY(QStringView(raw) == u"raw-chars!");
        if (how == QLatin1String("shared"))
            QCOMPARE(other, QStringLiteral("0123456789"));
    }

    // Lines, quotes, spaces, further fields, a comma in a port and too few fields are read through the
    // settings file at start-up and in its own tests.
    void fields_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<bool>("complete");
        using L = QStringList;
        QTest::newRow("trailing spaces kept")
            << "514  ,2985,7815,1200,900" << L{"514  ", "2985", "7815", "1200", "900"} << true;
        QTest::newRow("quoted comma")
            << "\"5,14\",2985,7815,1200,900" << L{"5,14", "2985", "7815", "1200", "900"} << true;
        QTest::newRow("text after closing quote")
            << "\"51\"4,2985,7815,1200,900" << L{"51", "2985", "7815", "1200", "900"} << true;
        QTest::newRow("unclosed quote") << "\"514,2985" << L{"514,2985"} << false;
        QTest::newRow("empty fields") << ",,,,\r\n" << L{"", "", "", "", ""} << true;
        QTest::newRow("comma then end") << "514,2985,7815,1200," << L{"514", "2985", "7815", "1200"} << false;
        QTest::newRow("empty") << "" << L{} << false;
        QTest::newRow("only a line end") << "\r\n" << L{""} << false;
        QTest::newRow("tab is not skipped") << "\t514,a,b,c,d" << L{"\t514", "a", "b", "c", "d"} << true;
    }
    void fields() {
        QFETCH(QString, text);
        const auto result = SequentialReader::read(text, 5);
        QTEST(result.fields, "fields");
        QTEST(result.complete, "complete");
    }
};

ZARARE_TEST(TextTest)
#include "TextTest.moc"
