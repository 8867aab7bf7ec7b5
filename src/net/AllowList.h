#pragma once

#include "net/SenderAddress.h"

#include <QString>
#include <QStringView>

#include <vector>

// The networks that may send readings. With no entry everyone may; otherwise a datagram is taken only
// from an address inside one of the networks. An IPv4 network also covers the IPv4-mapped IPv6 senders
// of the dual-stack socket (they arrive as IPv4 addresses).
class AllowList {
public:
    // Adds "192.0.2.0/24", "fd00::/8", or a single address ("127.0.0.1", "::1"); spaces around it are
    // allowed. On a text that is not a network returns false and, when `error` is given, a sentence
    // saying what is wrong with it.
    bool add(QStringView network, QString *error = nullptr);
    void clear() { networks_.clear(); }
    bool isEmpty() const { return networks_.empty(); }
    int size() const { return int(networks_.size()); }

    // Per datagram: no allocation, a few comparisons per network.
    bool allows(const SenderAddress &sender) const;

private:
    struct Network {
        SenderAddress::Family family;
        int prefix;
        std::uint8_t bytes[16];
    };
    std::vector<Network> networks_;
};
