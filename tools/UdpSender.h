#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace sender {

// A UDP socket connected to one destination. Being connected, it hears back from the network: a
// destination port nobody listens on ("connection refused") or an unreachable network shows up as the
// error of a later send.
class UdpSender {
public:
    UdpSender() = default;
    ~UdpSender();
    UdpSender(const UdpSender &) = delete;
    UdpSender &operator=(const UdpSender &) = delete;

    // Resolves `host` (a name, an IPv4 address or an IPv6 address, with or without square brackets) and
    // connects to the first of its addresses that takes it. On failure returns false and a sentence in
    // `error`.
    bool open(const std::string &host, std::uint16_t port, std::string &error);

    // The numeric address and port, e.g. "127.0.0.1 port 514" or "::1 port 514".
    const std::string &destination() const { return destination_; }

    struct Result {
        std::size_t sent = 0; // datagrams handed to the system, from the first on
        int error = 0;        // errno of the send that failed when sent is 0, else 0
    };
    // Sends `count` datagrams (one system call for up to 64 of them). When not all go, the error belongs
    // to the next call.
    Result send(const std::string *lines, std::size_t count);

    // Waits up to `milliseconds` for an error the network reports about datagrams already sent (e.g. a
    // refused port) and returns its errno, or 0.
    int pendingError(int milliseconds);

private:
    int fd_ = -1;
    std::string destination_;
};

} // namespace sender
