#include "net/SenderAddress.h"

#include <cstddef>
#include <cstring>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace {
const std::uint8_t MappedPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};

char16_t *decimal(char16_t *out, unsigned value) {
    if (value >= 100)
        *out++ = char16_t(u'0' + value / 100);
    if (value >= 10)
        *out++ = char16_t(u'0' + value / 10 % 10);
    *out++ = char16_t(u'0' + value % 10);
    return out;
}

char16_t *hex(char16_t *out, unsigned value) {
    static const char16_t digits[] = u"0123456789abcdef";
    bool started = false;
    for (int shift = 12; shift >= 0; shift -= 4) {
        const unsigned d = (value >> shift) & 0xF;
        if (d != 0 || started || shift == 0) {
            *out++ = digits[d];
            started = true;
        }
    }
    return out;
}
} // namespace

SenderAddress SenderAddress::v4(std::uint32_t hostOrder) {
    SenderAddress a;
    a.family = V4;
    for (int i = 0; i < 4; ++i)
        a.bytes[i] = std::uint8_t(hostOrder >> (24 - 8 * i));
    return a;
}

SenderAddress SenderAddress::v6(const std::uint8_t (&networkOrder)[16]) {
    SenderAddress a;
    a.setV6(networkOrder);
    return a;
}

SenderAddress SenderAddress::fromSockaddr(const sockaddr *address) {
    SenderAddress a;
    a.assign(address);
    return a;
}

// The address bytes are read where they lie and written straight into this one. A copy of the whole
// structure, or a returned address copied again, makes the processor wait for the stores just made
// before it can read them back: several nanoseconds a datagram.
void SenderAddress::assign(const sockaddr *address) {
    const auto *raw = reinterpret_cast<const std::uint8_t *>(address);
    const int from = address ? address->sa_family : AF_UNSPEC;
    if (from == AF_INET)
        setV4(raw + offsetof(sockaddr_in, sin_addr));
    else if (from == AF_INET6)
        setV6(raw + offsetof(sockaddr_in6, sin6_addr));
    else
        *this = SenderAddress();
}

void SenderAddress::setV4(const std::uint8_t *networkOrder) {
    family = V4;
    std::memcpy(bytes, networkOrder, 4);
    std::memset(bytes + 4, 0, 12);
}

void SenderAddress::setV6(const std::uint8_t *networkOrder) {
    if (std::memcmp(networkOrder, MappedPrefix, sizeof MappedPrefix) == 0) {
        setV4(networkOrder + 12); // the IPv4 address it carries
        return;
    }
    family = V6;
    std::memcpy(bytes, networkOrder, 16);
}

std::size_t SenderAddress::text(char16_t *out) const {
    char16_t *p = out;
    if (family == V4) {
        for (int i = 0; i < 4; ++i) {
            if (i > 0)
                *p++ = u'.';
            p = decimal(p, bytes[i]);
        }
        return std::size_t(p - out);
    }
    if (family != V6)
        return 0;
    unsigned groups[8];
    for (int i = 0; i < 8; ++i)
        groups[i] = unsigned(bytes[2 * i]) << 8 | bytes[2 * i + 1];
    // The longest run of two or more zero groups (the first of equal ones) is written "::".
    int bestAt = -1, bestLen = 1;
    for (int i = 0; i < 8;) {
        int j = i;
        while (j < 8 && groups[j] == 0)
            ++j;
        if (j - i > bestLen) {
            bestAt = i;
            bestLen = j - i;
        }
        i = j > i ? j : i + 1;
    }
    for (int i = 0; i < 8; ++i) {
        if (i == bestAt) {
            *p++ = u':';
            *p++ = u':';
            i += bestLen - 1;
            continue;
        }
        if (i > 0 && i != bestAt + bestLen)
            *p++ = u':';
        p = hex(p, groups[i]);
    }
    return std::size_t(p - out);
}
