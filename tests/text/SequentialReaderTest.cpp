#include "text/SequentialReader.h"
#include "TestRegistry.h"

#include <QTest>

class SequentialReaderTest : public QObject {
    Q_OBJECT
private slots:
    // Lines, quotes, spaces, further fields, a comma in a port and too few fields are read through the
    // settings file at start-up and in its own tests.
    void fields_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<bool>("complete");
        using L = QStringList;
        const L record{"514", "2985", "7815", "1200", "900"};
        QTest::newRow("CR LF ended") << "514,2985,7815,1200,900\r\n" << record << true;
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

ZARARE_TEST(SequentialReaderTest)
#include "SequentialReaderTest.moc"
