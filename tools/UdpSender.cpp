#include "UdpSender.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sender {

namespace {

constexpr std::size_t MaxPerCall = 64;

std::string numericAddress(const sockaddr *address, socklen_t length) {
    char host[NI_MAXHOST] = {};
    if (getnameinfo(address, length, host, sizeof host, nullptr, 0, NI_NUMERICHOST) != 0)
        return "?";
    return host;
}

} // namespace

UdpSender::~UdpSender() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool UdpSender::open(const std::string &host, std::uint16_t port, std::string &error) {
    std::string name = host;
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']')
        name = name.substr(1, name.size() - 2);
    const std::string service = std::to_string(port);

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_protocol = IPPROTO_UDP;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo *found = nullptr;
    if (const int rc = getaddrinfo(name.c_str(), service.c_str(), &hints, &found); rc != 0) {
        error =
            "cannot resolve " + host + ": " + (rc == EAI_SYSTEM ? std::strerror(errno) : gai_strerror(rc));
        return false;
    }

    int lastErrno = 0;
    std::string lastAddress;
    for (const addrinfo *a = found; a; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        lastAddress = numericAddress(a->ai_addr, a->ai_addrlen);
        if (fd < 0) {
            lastErrno = errno;
            continue;
        }
        if (::connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
            lastErrno = errno;
            ::close(fd);
            continue;
        }
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
        destination_ = lastAddress + " port " + service;
        freeaddrinfo(found);
        return true;
    }
    freeaddrinfo(found);
    error =
        "cannot reach " + host + " (" + lastAddress + ") port " + service + ": " + std::strerror(lastErrno);
    return false;
}

UdpSender::Result UdpSender::send(const std::string *lines, std::size_t count) {
    count = std::min(count, MaxPerCall);
    if (fd_ < 0)
        return {0, EBADF};
    if (count == 0)
        return {};
    mmsghdr messages[MaxPerCall];
    iovec parts[MaxPerCall];
    std::memset(messages, 0, sizeof(mmsghdr) * count);
    for (std::size_t i = 0; i < count; ++i) {
        parts[i].iov_base = const_cast<char *>(lines[i].data());
        parts[i].iov_len = lines[i].size();
        messages[i].msg_hdr.msg_iov = &parts[i];
        messages[i].msg_hdr.msg_iovlen = 1;
    }
    for (;;) {
        const int sent = ::sendmmsg(fd_, messages, unsigned(count), 0);
        if (sent > 0)
            return {std::size_t(sent), 0};
        if (sent < 0 && errno == EINTR)
            continue;
        return {0, sent < 0 ? errno : EIO};
    }
}

int UdpSender::pendingError(int milliseconds) {
    if (fd_ < 0)
        return EBADF;
    pollfd p{fd_, 0, 0}; // errors are reported whatever the events asked for
    if (::poll(&p, 1, milliseconds) <= 0 || !(p.revents & POLLERR))
        return 0;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return errno;
    return error;
}

} // namespace sender
