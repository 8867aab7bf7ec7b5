#include "net/UdpSocket.h"
#include "SenderText.h"
#include "TestRegistry.h"

#include <QFile>
#include <QTest>
#include <QUdpSocket>

#ifndef Q_OS_WIN
#include <sys/wait.h>
#include <unistd.h>
#endif

// A burst of many datagrams, complete and in order, is checked by the reception tests' burst table.
class UdpSocketTest : public QObject {
    Q_OBJECT

    static void send(quint16 port, const QByteArray &bytes,
                     const QHostAddress &to = QHostAddress::LocalHost) {
        QUdpSocket out;
        QCOMPARE(out.writeDatagram(bytes, to, port), qint64(bytes.size()));
    }

    QUdpSocket busy; // another program's port

    struct Recorder : UdpSocket::Receiver {
        UdpSocket *socket = nullptr;
        QList<QByteArray> got;
        void dataArrival(int total) override {
            QCOMPARE(total, int(socket->GetData().size()));
            got << socket->GetData().toByteArray();
        }
    };

private slots:
    void initTestCase() { QVERIFY(busy.bind(QHostAddress::AnyIPv4, 0)); }

    // Each datagram with its bytes and its sender, which are there only inside the handler: to the
    // receiver first, then to the signal's handlers. The signal is raised only once something is
    // connected to it, and from then on for every datagram.
    void deliversEachDatagramWithItsBytes() {
        UdpSocket s;
        Recorder first;
        first.socket = &s;
        s.setReceiver(&first);
        QVERIFY(s.bindPort(0) && s.isBound());
        // An empty datagram is still a datagram; the largest one comes whole.
        const QList<QByteArray> sent{"<13>before", "", QByteArray(65507, 'x'), "<13>from IPv6"};
        send(s.localPort(), sent[0]);
        QTRY_COMPARE(first.got.size(), 1);
        QList<QByteArray> got;
        QStringList senders;
        connect(&s, &UdpSocket::DataArrival, this, [&](int total) {
            QCOMPARE(total, int(s.GetData().size()));
            QCOMPARE(first.got.size(), got.size() + 2);
            got << s.GetData().toByteArray();
            senders << textOf(s.sender());
        });
        send(s.localPort(), sent[1]);
        send(s.localPort(), sent[2]);
        QTRY_COMPARE(got.size(), 2);
        send(s.localPort(), sent[3], QHostAddress::LocalHostIPv6);
        QTRY_COMPARE(got, sent.mid(1));
        QCOMPARE(senders, (QStringList{"127.0.0.1", "127.0.0.1", "::1"}));
        QCOMPARE(first.got, sent);
        QVERIFY(s.GetData().isEmpty());
        QCOMPARE(textOf(s.sender()), QString());
    }

    // A burst beyond the receive buffer is counted as dropped by the system, and what was read plus what
    // was dropped is what was sent.
    void kernelDropsAreCounted() {
#ifndef Q_OS_LINUX
        QSKIP("only Linux reports the datagrams it dropped");
#else
        UdpSocket socket;
        socket.requestReceiveBuffer(4096);
        QVERIFY(socket.bindPort(0));
        int received = 0;
        connect(&socket, &UdpSocket::DataArrival, this, [&](int) { ++received; });
        QUdpSocket out;
        const int burst = 2000;
        const QByteArray d(60, 'x');
        for (int i = 0; i < burst; ++i)
            out.writeDatagram(d, QHostAddress::LocalHost, socket.localPort());
        int last = -1;
        while (received != last) { // until nothing more arrives
            last = received;
            QTest::qWait(300);
        }
        // The count comes with the datagrams queued after the drops.
        out.writeDatagram(d, QHostAddress::LocalHost, socket.localPort());
        QTRY_VERIFY(received == last + 1);
        if (socket.kernelDrops() < 0)
            QSKIP("this build reads through QUdpSocket, which does not report drops");
        QVERIFY(socket.kernelDrops() > 0);
        QCOMPARE(received - 1 + socket.kernelDrops(), qint64(burst));
#endif
    }

    // Closed inside a handler, the datagrams already waiting are not delivered; the port is free again.
    void closeStopsReceivingAndFreesThePort() {
        UdpSocket s;
        QVERIFY(s.bindPort(0));
        const quint16 port = s.localPort();
        QList<QByteArray> got;
        connect(&s, &UdpSocket::DataArrival, this, [&](int) {
            got << s.GetData().toByteArray();
            s.Close();
        });
        for (const char *d : {"first", "2", "3", "4", "5"})
            send(port, d);
        QTRY_COMPARE(got.size(), 1);
        QVERIFY(!s.isBound());
        QString error;
        QVERIFY2(s.Bind(QString::number(port), &error), qPrintable(error));
        send(port, "again");
        QTRY_COMPARE(got, (QList<QByteArray>{"first", "again"}));
    }

    // Port texts as the options dialog hands them over: a good one gives its number, a bad one is refused
    // by Bind with the reason (0: not a port; -1: a port another program has).
    void portTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("port");
        const std::pair<const char *, int> rows[] = {
            {" 514 ", 514}, {"65535", 65535}, {"00514", 514}, {"", 0},     {"abc", 0},  {"0", 0},
            {"65536", 0},   {"-1", 0},        {"51.4", 0},    {"5,14", 0}, {"5 14", 0}, {"99999999999", 0}};
        for (const auto &[text, port] : rows)
            QTest::newRow(*text ? text : "empty") << QString::fromLatin1(text) << port;
        QTest::newRow("in use") << QString::number(busy.localPort()) << -1;
    }
    void portTexts() {
        QFETCH(QString, text);
        QFETCH(int, port);
        quint16 parsed = 0;
        QCOMPARE(PortText::parse(text, &parsed), port != 0);
        if (port > 0) {
            QCOMPARE(int(parsed), port);
            return;
        }
        UdpSocket s;
        QString error;
        QVERIFY(!s.Bind(text, &error));
        QVERIFY(!s.isBound());
        const QString why =
            port < 0 ? QStringLiteral("%1 could not be opened: the port is already in use by another program")
                     : QStringLiteral("\"%1\" could not be opened: a port is a whole number from 1 to 65535");
        QCOMPARE(error, QStringLiteral("Port ") + why.arg(text));
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
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) { // exits 0 when refused for the right reason, 1 when bound, 2 for another reason
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(3);
            UdpSocket s;
            QString error;
            const bool bound = s.Bind(QStringLiteral("514"), &error);
            const bool told =
                error.startsWith(QLatin1String("Port 514 could not be opened: permission denied")) ||
                error.contains(QLatin1String("already in use"));
            ::_exit(bound ? 1 : told ? 0 : 2);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
#endif
    }
};

ZARARE_TEST(UdpSocketTest)
#include "UdpSocketTest.moc"
