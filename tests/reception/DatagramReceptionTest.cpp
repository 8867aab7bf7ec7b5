#include "reception/DatagramReception.h"
#include "TestRegistry.h"
#include "grid/FlexGrid.h"
#include "net/UdpSocket.h"
#include "reception/DatagramText.h"
#include "reception/TrafficCounter.h"

#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>

class DatagramReceptionTest : public QObject {
    Q_OBJECT
private slots:
    void bytesToText_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("ascii") << QByteArray("<13>abc") << QStringLiteral("<13>abc");
        QTest::newRow("utf-8") << QByteArray("b\xc3\xbcro \xc2\xb0") << QStringLiteral("büro °");
        QTest::newRow("latin-1 fallback") << QByteArray("b\xfcro \xb0") << QStringLiteral("büro °");
        QTest::newRow("truncated utf-8 is latin-1") << QByteArray("a\xc3") << QStringLiteral("a\u00c3");
        QTest::newRow("overlong is latin-1") << QByteArray("\xc0\xaf") << QStringLiteral("\u00c0\u00af");
        QTest::newRow("surrogate is latin-1")
            << QByteArray("\xed\xa0\x80") << QStringLiteral("\u00ed\u00a0\u0080");
        QTest::newRow("four-byte utf-8") << QByteArray("\xf0\x9f\x8c\xa1") << QStringLiteral("\U0001F321");
        QTest::newRow("framing removed") << QByteArray("line\r\n\0\0", 8) << QStringLiteral("line");
        QTest::newRow("inner framing kept")
            << QByteArray("a\r\nb\0c", 6) << QString::fromLatin1("a\r\nb\0c", 6);
        QTest::newRow("leading bom") << QByteArray("\xef\xbb\xbf<13>x") << QStringLiteral("<13>x");
        QTest::newRow("bom after priority") << QByteArray("<13>\xef\xbb\xbfSep") << QStringLiteral("<13>Sep");
        QTest::newRow("other bom kept") << QByteArray("<13>a\xef\xbb\xbf") << QStringLiteral("<13>a\ufeff");
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("only framing") << QByteArray("\n\r\n") << QString();
    }
    void bytesToText() {
        QFETCH(QByteArray, bytes);
        QTEST(DatagramText::decode(bytes), "text");
    }

    void everyByteValueSurvives() {
        QByteArray all;
        for (int b = 1; b < 256; ++b)
            all += char(b);
        all += 'x'; // keep the framing characters inside
        const QString text = DatagramText::decode(all);
        QCOMPARE(text.size(), all.size());
        QCOMPARE(text.toLatin1(), all);
    }

    void countersAddAndFormat() {
        TrafficCounter c;
        QCOMPARE(c.text(), QStringLiteral("0"));
        c.add(55);
        QCOMPARE(c.text(), QStringLiteral("55"));
        c.setText(QStringLiteral("999999999999999"));
        c.add(1);
        QCOMPARE(c.text(), QStringLiteral("1E+15"));
        c.add(1);
        QCOMPARE(c.text(), QStringLiteral("1E+15"));
        c.setText(QStringLiteral("1.23456789012345E+15"));
        c.add(1000);
        QCOMPARE(c.text(), QStringLiteral("1.23456789012445E+15"));
        // A text that is not a number restarts the count.
        c.setText(QStringLiteral("garbage"));
        QCOMPARE(c.text(), QStringLiteral("garbage"));
        c.add(3);
        QCOMPARE(c.text(), QStringLiteral("3"));
        c.setText(QStringLiteral("1.7E+308"));
        c.add(1.7e308);
        QCOMPARE(c.text(), QStringLiteral("1.7E+308")); // an overflowing sum is not stored
    }

    void readingsArriveOverLoopbackIntoTheGrid() {
        UdpSocket socket;
        FlexGrid grid;
        DatagramReception reception(socket, grid);
        reception.hostGrid.writeHeaderRow();
        QVERIFY(socket.bindPort(0));
        QSignalSpy counters(&reception, &DatagramReception::countersChanged);

        const QByteArray first("<13>Sep  9 20:04:58 OFFICE sensor[CPU Temp]: Temp=45.0 C\n");
        const QByteArray second("<13>Sep  9 20:05:01 LAB sensor[Fan]: Speed=1200 RPM");
        QUdpSocket out;
        out.writeDatagram(first, QHostAddress::LocalHost, socket.localPort());
        out.writeDatagram(second, QHostAddress::LocalHost, socket.localPort());
        QTRY_COMPARE(reception.PacketsReceived.text(), QStringLiteral("2"));
        // The byte counter counts what arrived, framing included.
        QCOMPARE(reception.ReceivedBytes.text(), QString::number(first.size() + second.size()));
        QCOMPARE(grid.textAt(1, 0), QStringLiteral("OFFICE"));
        QCOMPARE(grid.textAt(1, 3), QStringLiteral(" CPU Temp"));
        QCOMPARE(grid.textAt(1, 4), QStringLiteral(" 45.0 "));
        QCOMPARE(grid.textAt(2, 0), QStringLiteral("LAB"));
        QCOMPARE(grid.textAt(2, 4), QStringLiteral(" 1200 "));
        QTRY_VERIFY(counters.count() >= 1);
        QVERIFY(counters.count() <= 2); // once per frame, not once per datagram
    }

    void unplaceableReadingsAreStillCounted() {
        UdpSocket socket;
        FlexGrid grid;
        DatagramReception reception(socket, grid);
        for (int i = 0; i < 65; ++i)
            reception.processDatagram(QStringLiteral("<13>Sep  9 20:04:58 H s[S%1]: v=1").arg(i).toUtf8());
        reception.processDatagram(QByteArray());
        QCOMPARE(reception.PacketsReceived.text(), QStringLiteral("66"));
        QCOMPARE(reception.hostGrid.hostcount(), 1);
    }

    void decodingReusesTheTextButNeverAHeldOne() {
        QString text = QStringLiteral("a long enough earlier datagram");
        const QString held = text;
        DatagramText::decodeInto("<13>x", text);
        QCOMPARE(text, QStringLiteral("<13>x"));
        QCOMPARE(held, QStringLiteral("a long enough earlier datagram"));
        const QChar *storage = text.constData();
        DatagramText::decodeInto("<13>y\r\n", text);
        QCOMPARE(text, QStringLiteral("<13>y"));
        QCOMPARE(text.constData(), storage);
        DatagramText::decodeInto("b\xc3\xbcro", text);
        QCOMPARE(text, QStringLiteral("büro"));
        DatagramText::decodeInto(QByteArray(40, 'z') + "\xb0", text); // past the 16-byte blocks
        QCOMPARE(text, QString(40, QLatin1Char('z')) + QChar(0xB0));
        DatagramText::decodeInto("\n", text);
        QCOMPARE(text, QString());
    }
};

ZARARE_TEST(DatagramReceptionTest)
#include "DatagramReceptionTest.moc"
