#include "text/NumberText.h"
#include "TestRegistry.h"

#include <QTest>

class NumberTextTest : public QObject {
    Q_OBJECT
private slots:
    void doubleToText_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("one") << 1.0 << "1";
        QTest::newRow("negative whole") << -120.0 << "-120";
        QTest::newRow("15 digits") << 999999999999999.0 << "999999999999999";
        QTest::newRow("1E15") << 1e15 << "1E+15";
        QTest::newRow("16 digits rounded") << 1234567890123456.0 << "1.23456789012346E+15";
        QTest::newRow("fraction") << 0.5 << "0.5";
        QTest::newRow("small decimal") << 0.0001 << "0.0001";
        QTest::newRow("small exponent") << 0.00001 << "1E-05";
        QTest::newRow("negative fraction") << -2.25 << "-2.25";
        QTest::newRow("rounding to 15 digits") << 0.1 + 0.2 << "0.3";
        QTest::newRow("large") << 1.5e300 << "1.5E+300";
    }
    void doubleToText() {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(NumberText::fromDouble(value), text);
    }

    void singleToText_data() {
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("twips") << 5430.0f << "5430";
        QTest::newRow("negative") << -120.0f << "-120";
        QTest::newRow("7 digits") << 9999999.0f << "9999999";
        QTest::newRow("1E7") << 1e7f << "1E+07";
        QTest::newRow("8 digits") << 12345678.0f << "1.234568E+07";
        QTest::newRow("fraction") << 1234.5f << "1234.5";
        QTest::newRow("float noise hidden") << 0.1f << "0.1";
        QTest::newRow("max") << 3.4028235e38f << "3.402823E+38";
    }
    void singleToText() {
        QFETCH(float, value);
        QFETCH(QString, text);
        QCOMPARE(NumberText::fromSingle(value), text);
    }

    void textToNumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("value");
        QTest::newRow("plain") << "514" << true << 514.0;
        QTest::newRow("spaces around") << "  2985 " << true << 2985.0;
        QTest::newRow("negative") << "-120" << true << -120.0;
        QTest::newRow("plus") << "+7" << true << 7.0;
        QTest::newRow("decimal point") << "1.5" << true << 1.5;
        QTest::newRow("exponent") << "1E+15" << true << 1e15;
        QTest::newRow("huge single range") << "-1E+38" << true << -1e38;
        QTest::newRow("comma is not a decimal separator") << "1,5" << false << 0.0;
        QTest::newRow("empty") << "" << false << 0.0;
        QTest::newRow("word") << "Text1" << false << 0.0;
        QTest::newRow("trailing garbage") << "12abc" << false << 0.0;
        QTest::newRow("lone exponent") << "E5" << false << 0.0;
        QTest::newRow("infinity") << "inf" << false << 0.0;
        QTest::newRow("overflow") << "1E+999" << false << 0.0;
        QTest::newRow("tab is not a space") << "\t5" << false << 0.0;
    }
    void textToNumber() {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(double, value);
        bool good = !ok;
        QCOMPARE(NumberText::toDouble(text, &good), value);
        QCOMPARE(good, ok);
    }

    void singleRangeIsChecked() {
        bool ok = true;
        NumberText::toSingle(u"1E+39", &ok);
        QVERIFY(!ok);
        QCOMPARE(NumberText::toSingle(u"1E+38", &ok), 1e38f);
        QVERIFY(ok);
    }

    void roundTripsThroughText() {
        for (const float v : {0.0f, -120.0f, 7815.0f, 1234.5f, 1e7f, 3.25e-3f}) {
            bool ok = false;
            QCOMPARE(NumberText::toSingle(NumberText::fromSingle(v), &ok), v);
            QVERIFY(ok);
        }
    }
};

ZARARE_TEST(NumberTextTest)
#include "NumberTextTest.moc"
