#include "net/UdpSocket.h"
#include "TestRegistry.h"

#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>

#include <QFile>

#ifndef Q_OS_WIN
#include <sys/wait.h>
#include <unistd.h>
#endif

class UdpSocketTest : public QObject {
    Q_OBJECT

    static void send(quint16 port, const QByteArray &bytes,
                     const QHostAddress &to = QHostAddress::LocalHost) {
        QUdpSocket out;
        QCOMPARE(out.writeDatagram(bytes, to, port), qint64(bytes.size()));
    }

private slots:
    void deliversEachDatagramWithItsBytes() {
        UdpSocket s;
        QVERIFY(s.bindPort(0));
        QVERIFY(s.isBound());
        QVERIFY(s.localPort() != 0);
        QList<QByteArray> got;
        connect(&s, &UdpSocket::DataArrival, this, [&](int total) {
            QCOMPARE(total, int(s.GetData().size()));
            got << s.GetData().toByteArray();
        });
        const QByteArray a("<13>first"), b(""), c(65507, 'x');
        send(s.localPort(), a);
        send(s.localPort(), b);
        send(s.localPort(), c);
        QTRY_COMPARE(got.size(), 3);
        QCOMPARE(got[0], a);
        QCOMPARE(got[1], b); // an empty datagram is still a datagram
        QCOMPARE(got[2], c);
        QVERIFY(s.GetData().isEmpty()); // nothing outside a handler
    }

    void receivesOverIPv6TooWhenAvailable() {
        UdpSocket s;
        QVERIFY(s.bindPort(0));
        QUdpSocket probe;
        if (!probe.bind(QHostAddress::LocalHostIPv6, 0))
            QSKIP("no IPv6 loopback on this machine");
        QSignalSpy spy(&s, &UdpSocket::DataArrival);
        send(s.localPort(), "six", QHostAddress::LocalHostIPv6);
        QTRY_COMPARE(spy.count(), 1);
    }

    void drainsAFloodWithoutLosingDatagrams() {
        UdpSocket s;
        QVERIFY(s.bindPort(0));
        QVERIFY(s.receiveBufferBytes() > 0);
        int count = 0;
        connect(&s, &UdpSocket::DataArrival, this, [&](int) { ++count; });
        QUdpSocket out;
        const int total = 2000;
        for (int i = 0; i < total; ++i)
            out.writeDatagram(QByteArray::number(i), QHostAddress::LocalHost, s.localPort());
        QTRY_COMPARE(count, total);
    }

    void closeStopsReceivingAndFreesThePort() {
        UdpSocket s;
        QVERIFY(s.bindPort(0));
        const quint16 port = s.localPort();
        s.Close();
        QVERIFY(!s.isBound());
        QSignalSpy spy(&s, &UdpSocket::DataArrival);
        send(port, "late");
        QTest::qWait(50);
        QCOMPARE(spy.count(), 0);
        QString error;
        QVERIFY2(s.Bind(QString::number(port), &error), qPrintable(error));
        send(port, "again");
        QTRY_COMPARE(spy.count(), 1);
    }

    void closeInsideAHandlerIsSafe() {
        UdpSocket s;
        QVERIFY(s.bindPort(0));
        int count = 0;
        connect(&s, &UdpSocket::DataArrival, this, [&](int) {
            ++count;
            s.Close();
        });
        for (int i = 0; i < 5; ++i)
            send(s.localPort(), "x");
        QTRY_COMPARE(count, 1);
        QTest::qWait(30);
        QCOMPARE(count, 1);
    }

    void badPortTextsAreRefusedWithAReason_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("word") << "abc";
        QTest::newRow("zero") << "0";
        QTest::newRow("too large") << "65536";
        QTest::newRow("negative") << "-1";
        QTest::newRow("decimal") << "51.4";
        QTest::newRow("comma") << "5,14";
    }
    void badPortTextsAreRefusedWithAReason() {
        QFETCH(QString, text);
        UdpSocket s;
        QString error;
        QVERIFY(!s.Bind(text, &error));
        QVERIFY(!s.isBound());
        QCOMPARE(error,
                 QStringLiteral("Port \"%1\" could not be opened: a port is a whole number from 1 to 65535")
                     .arg(text));
    }

    void portTextParsing() {
        quint16 port = 0;
        QVERIFY(PortText::parse(QStringLiteral(" 514 "), &port));
        QCOMPARE(port, quint16(514));
        QVERIFY(PortText::parse(QStringLiteral("65535"), &port));
        QCOMPARE(port, quint16(65535));
        QVERIFY(PortText::parse(QStringLiteral("00514"), &port));
        QCOMPARE(port, quint16(514));
        QVERIFY(!PortText::parse(QStringLiteral("99999999999"), &port));
        QVERIFY(!PortText::parse(QStringLiteral("5 14"), &port));
    }

    void busyPortIsReported() {
        QUdpSocket other;
        QVERIFY(other.bind(QHostAddress::AnyIPv4, 0));
        UdpSocket s;
        QString error;
        const QString port = QString::number(other.localPort());
        QVERIFY(!s.Bind(port, &error));
        QCOMPARE(error,
                 QStringLiteral("Port %1 could not be opened: the port is already in use by another program")
                     .arg(port));
    }

    // Without the right to bind low ports (as root, the check runs in a child that gives it up).
    void privilegedPortNeedsTheRight() {
#ifdef Q_OS_WIN
        QSKIP("Windows lets every user bind every port");
#else
#ifdef ZARARE_PORTABLE_SOCKET
        // QUdpSocket in a forked child of a running Qt program can wait forever on locks held at fork.
        if (::geteuid() == 0)
            QSKIP("the portable socket is not used in a forked child");
#endif
        QFile start(QStringLiteral("/proc/sys/net/ipv4/ip_unprivileged_port_start"));
        if (start.open(QIODevice::ReadOnly) && start.readAll().trimmed().toInt() <= 514)
            QSKIP("this machine lets anyone bind port 514");
        int out[2];
        QVERIFY(::pipe(out) == 0);
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            ::close(out[0]);
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(3);
            UdpSocket s;
            QString error;
            const bool bound = s.Bind(QStringLiteral("514"), &error);
            const QByteArray text = error.toUtf8();
            if (::write(out[1], text.constData(), size_t(text.size())) < 0)
                ::_exit(4);
            ::_exit(bound ? 1 : 0);
        }
        ::close(out[1]);
        QByteArray said;
        char buf[512];
        for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;)
            said.append(buf, n);
        ::close(out[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0); // not bound
        QVERIFY2(said.startsWith("Port 514 could not be opened: permission denied") ||
                     said.contains("already in use"),
                 said.constData());
#endif
    }
};

ZARARE_TEST(UdpSocketTest)
#include "UdpSocketTest.moc"
