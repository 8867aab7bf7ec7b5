#pragma once

#include <cstddef>
#include <cstdint>

struct sockaddr;

// Where a datagram came from, as the socket's receive gave it: an IPv4 address (IPv4-mapped IPv6
// senders on the dual-stack socket are stored as the IPv4 address they carry) or an IPv6 one. Copied
// per datagram without allocation; its text is written only when someone asks for it.
struct SenderAddress {
    enum Family : std::uint8_t { Unknown, V4, V6 };

    Family family = Unknown;
    std::uint8_t bytes[16] = {}; // network order; an IPv4 address in the first four

    // The longest text: eight groups of four hex digits and seven colons.
    static constexpr std::size_t MaxText = 39;

    // From a sockaddr_in or sockaddr_in6; anything else (or null) gives Unknown.
    static SenderAddress fromSockaddr(const sockaddr *address);
    // The same, written into this one in place (the receive loop's way, once a datagram).
    void assign(const sockaddr *address);
    static SenderAddress v4(std::uint32_t hostOrder);
    static SenderAddress v6(const std::uint8_t (&networkOrder)[16]);

    // '192.0.2.7', or IPv6 in its shortest form ('fd00::7', lower case, no brackets); writes at most
    // MaxText characters into `out` and returns how many; 0 for Unknown.
    std::size_t text(char16_t *out) const;

private:
    // From four or sixteen bytes in network order; an IPv4-mapped address is stored as IPv4.
    void setV4(const std::uint8_t *networkOrder);
    void setV6(const std::uint8_t *networkOrder);
};
