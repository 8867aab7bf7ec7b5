#include "net/AllowList.h"

#include <QHostAddress>

#include <cstring>

namespace {
bool prefixMatches(const std::uint8_t *a, const std::uint8_t *b, int prefix) {
    const int whole = prefix / 8;
    if (std::memcmp(a, b, size_t(whole)) != 0)
        return false;
    const int bits = prefix % 8;
    if (bits == 0)
        return true;
    const std::uint8_t mask = std::uint8_t(0xFF << (8 - bits));
    return (a[whole] & mask) == (b[whole] & mask);
}
} // namespace

bool AllowList::add(QStringView network, QString *error) {
    const QStringView text = network.trimmed();
    const auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (text.isEmpty())
        return fail(
            QStringLiteral("no network given (write one such as 192.0.2.0/24, fd00::/8 or 127.0.0.1)"));

    const qsizetype slash = text.indexOf(QLatin1Char('/'));
    const QStringView addressText = slash < 0 ? text : text.left(slash);
    QHostAddress address;
    if (addressText.contains(QLatin1Char('%')) || !address.setAddress(addressText.toString()))
        return fail(QStringLiteral("\"%1\" is not an IPv4 or IPv6 address").arg(addressText));

    Network n{};
    const bool isV6 = address.protocol() == QAbstractSocket::IPv6Protocol;
    const Q_IPV6ADDR raw = address.toIPv6Address();
    static const quint8 MappedPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    const bool mapped = isV6 && std::memcmp(raw.c, MappedPrefix, sizeof MappedPrefix) == 0;
    const bool isV4 = !isV6 || mapped;
    const quint32 v4 =
        isV6 ? quint32(raw.c[12]) << 24 | quint32(raw.c[13]) << 16 | quint32(raw.c[14]) << 8 | raw.c[15]
             : address.toIPv4Address();
    const int width = isV4 && !mapped ? 32 : 128;

    int prefix = width;
    if (slash >= 0) {
        const QStringView digits = text.mid(slash + 1);
        bool ok = !digits.isEmpty() && digits.size() <= 3;
        for (const QChar c : digits)
            ok = ok && c.isDigit() && c.unicode() < 128;
        prefix = ok ? digits.toInt() : -1;
        if (prefix < 0 || prefix > width)
            return fail(
                QStringLiteral("\"%1\": the prefix length after \"/\" must be a whole number from 0 to %2")
                    .arg(text)
                    .arg(width));
    }
    if (mapped && prefix < 96)
        return fail(
            QStringLiteral("\"%1\": an IPv4-mapped network needs a prefix length of at least 96").arg(text));

    if (isV4) {
        const SenderAddress a = SenderAddress::v4(v4);
        n.family = SenderAddress::V4;
        n.prefix = mapped ? prefix - 96 : prefix;
        std::memcpy(n.bytes, a.bytes, 4);
    } else {
        n.family = SenderAddress::V6;
        n.prefix = prefix;
        std::memcpy(n.bytes, raw.c, 16);
    }

    // Bits beyond the prefix are almost always a slip ("192.0.2.1/24"): say which network was meant.
    std::uint8_t masked[16] = {};
    const int bytes = n.family == SenderAddress::V4 ? 4 : 16;
    for (int i = 0; i < bytes; ++i) {
        const int keep = qBound(0, n.prefix - 8 * i, 8);
        masked[i] = std::uint8_t(n.bytes[i] & (0xFF << (8 - keep)));
    }
    if (std::memcmp(masked, n.bytes, size_t(bytes)) != 0) {
        SenderAddress base;
        base.family = n.family;
        std::memcpy(base.bytes, masked, sizeof masked);
        char16_t buffer[SenderAddress::MaxText];
        const QString meant = QString::fromUtf16(buffer, qsizetype(base.text(buffer)));
        return fail(QStringLiteral("\"%1\" has bits set beyond its prefix; the network is %2/%3")
                        .arg(text)
                        .arg(meant)
                        .arg(n.prefix));
    }
    networks_.push_back(n);
    return true;
}

bool AllowList::allows(const SenderAddress &sender) const {
    if (networks_.empty())
        return true;
    for (const Network &n : networks_)
        if (n.family == sender.family && prefixMatches(n.bytes, sender.bytes, n.prefix))
            return true;
    return false;
}
