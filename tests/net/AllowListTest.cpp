#include "net/AllowList.h"
#include "SenderText.h"
#include "TestRegistry.h"

#include <QHostAddress>
#include <QTest>
#include <QtEndian>

#include <cstring>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace {
// An IPv4-mapped IPv6 address comes out as IPv4.
SenderAddress senderOf(const QHostAddress &a) {
    return a.protocol() == QAbstractSocket::IPv4Protocol ? SenderAddress::v4(a.toIPv4Address())
                                                         : SenderAddress::v6(a.toIPv6Address().c);
}

// The address as the receive loop reads it: from the socket's sockaddr, into the value that held the
// previous datagram's sender (here one with every byte set, none of which may stay).
SenderAddress viaSockaddr(const QHostAddress &a) {
    sockaddr_storage storage{};
    if (a.protocol() == QAbstractSocket::IPv4Protocol) {
        sockaddr_in in{};
        in.sin_family = AF_INET;
        const quint32 networkOrder = qToBigEndian(a.toIPv4Address());
        std::memcpy(&in.sin_addr, &networkOrder, 4);
        std::memcpy(&storage, &in, sizeof in);
    } else {
        sockaddr_in6 in6{};
        in6.sin6_family = AF_INET6;
        std::memcpy(&in6.sin6_addr, a.toIPv6Address().c, 16);
        std::memcpy(&storage, &in6, sizeof in6);
    }
    std::uint8_t stale[16];
    std::memset(stale, 0xFF, sizeof stale);
    SenderAddress out = SenderAddress::v6(stale);
    out.assign(reinterpret_cast<const sockaddr *>(&storage));
    return out;
}

bool operator==(const SenderAddress &a, const SenderAddress &b) {
    return a.family == b.family && std::memcmp(a.bytes, b.bytes, sizeof a.bytes) == 0;
}
} // namespace

class AllowListTest : public QObject {
    Q_OBJECT
private slots:
    // The text of a sender, IPv6 in its shortest form as QHostAddress writes it, mapped ones as IPv4.
    void senderText_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("text");
        for (const char *a : {"192.0.42.7", "::1", "::", "fd00::7", "2001:db8::1:0:0:1",
                              "2001:db8:0:1:1:1:1:1", "1:0:0:2:0:0:0:3"})
            QTest::newRow(a) << QString::fromLatin1(a) << QHostAddress(QString::fromLatin1(a)).toString();
        QTest::newRow("IPv4-mapped") << QStringLiteral("::ffff:192.0.2.7") << QStringLiteral("192.0.2.7");
    }
    void senderText() {
        QFETCH(QString, address);
        const SenderAddress sender = senderOf(QHostAddress(address));
        QTEST(textOf(sender), "text");
        QVERIFY(viaSockaddr(QHostAddress(address)) == sender);
    }

    // A datagram whose sender is not an internet address (or not given) has no sender, whatever the
    // one before it had.
    void senderOfOtherFamilies() {
        sockaddr_storage other{};
        other.ss_family = AF_UNSPEC;
        for (const sockaddr *address :
             {reinterpret_cast<const sockaddr *>(&other), (const sockaddr *)nullptr}) {
            SenderAddress sender = SenderAddress::v4(0xC0000207);
            sender.assign(address);
            QVERIFY(sender == SenderAddress());
            QVERIFY(SenderAddress::fromSockaddr(address) == SenderAddress());
        }
    }

    // The message for each network; %1 stands for the network as written.
    void bad_data() {
        QTest::addColumn<QString>("network");
        QTest::addColumn<QString>("message");
        const QString notAnAddress = QStringLiteral("\"%1\" is not an IPv4 or IPv6 address"),
                      prefix = QStringLiteral(
                          "\"%1\": the prefix length after \"/\" must be a whole number from 0 to "),
                      hostBits = QStringLiteral("\"%1\" has bits set beyond its prefix; the network is ");
        const std::pair<const char *, QString> rows[] = {
            {"  ",
             QStringLiteral("no network given (write one such as 192.0.2.0/24, fd00::/8 or 127.0.0.1)")},
            {"office.lan", notAnAddress},
            {"fe80::1%eth0", notAnAddress},
            {"192.0.2.256/24", QStringLiteral("\"192.0.2.256\" is not an IPv4 or IPv6 address")},
            {"10.0.0.0/+8", prefix + QLatin1String("32")},
            {"fd00::/129", prefix + QLatin1String("128")},
            {"fd00::/", prefix + QLatin1String("128")},
            {"192.0.2.1/24", hostBits + QLatin1String("192.0.2.0/24")},
            {"fd00::1/8", hostBits + QLatin1String("fd00::/8")},
            {"::ffff:0.0.0.0/80",
             QStringLiteral("\"%1\": an IPv4-mapped network needs a prefix length of at least 96")}};
        for (const auto &[network, message] : rows)
            QTest::newRow(network) << QString::fromLatin1(network)
                                   << QString(message).replace(QLatin1String("%1"), QLatin1String(network));
    }
    void bad() {
        QFETCH(QString, network);
        AllowList list;
        QString error;
        QVERIFY(!list.add(network, &error));
        QTEST(error, "message");
        QVERIFY(list.isEmpty());
    }

    void matching_data() {
        QTest::addColumn<QStringList>("networks");
        QTest::addColumn<QString>("sender");
        QTest::addColumn<bool>("allowed");
        // Inside and just outside each of these networks, a single address among them.
        const QStringList nets{"192.0.2.0/24", "fd00::/8", " 127.0.0.1 ", "10.1.2.0/23",
                               "::ffff:198.51.100.0/120"};
        const std::pair<const char *, bool> senders[] = {
            {"192.0.2.255", true},      {"192.0.3.0", false},  {"10.1.3.9", true}, {"10.1.4.0", false},
            {"127.0.0.1", true},        {"127.0.0.2", false},  {"fdff::1", true},  {"fe00::1", false},
            {"::ffff:192.0.2.9", true}, {"198.51.100.4", true}};
        for (const auto &[sender, allowed] : senders)
            QTest::newRow(sender) << nets << QString::fromLatin1(sender) << allowed;
        QTest::newRow("no entry: everyone") << QStringList() << "203.0.113.1" << true;
        QTest::newRow("IPv4 network does not cover IPv6") << QStringList{"0.0.0.0/0"} << "::1" << false;
        QTest::newRow("::/0 does not cover IPv4") << QStringList{"::/0"} << "192.0.2.1" << false;
        QTest::newRow("0.0.0.0/0 covers all IPv4") << QStringList{"0.0.0.0/0"} << "203.0.113.1" << true;
    }
    void matching() {
        QFETCH(QStringList, networks);
        QFETCH(QString, sender);
        AllowList list;
        for (const QString &n : networks) {
            QString error;
            QVERIFY2(list.add(n, &error), qPrintable(error));
        }
        QTEST(list.allows(senderOf(QHostAddress(sender))), "allowed");
    }
};
ZARARE_TEST(AllowListTest)
#include "AllowListTest.moc"
