#include "net/UdpSocket.h"

#include <QElapsedTimer>
#include <QMetaMethod>

#if defined(Q_OS_LINUX) && !defined(ZARARE_PORTABLE_SOCKET)
#define ZARARE_BATCHED_SOCKET
#include <QSocketNotifier>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#else
#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QVariant>

#include <cstring>
#endif

namespace PortText {
bool parse(const QString &text, quint16 *port) {
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    int value = 0;
    for (const QChar c : t) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        value = value * 10 + (c.unicode() - '0');
        if (value > 65535)
            return false;
    }
    if (value < 1 || value > 65535)
        return false;
    *port = quint16(value);
    return true;
}
} // namespace PortText

namespace {
QString bindFailure(const QString &port, const QString &reason) {
    return QStringLiteral("Port %1 could not be opened: %2").arg(port, reason);
}

// Receive buffer we ask for: enough for about 20,000 small datagrams, i.e. tens of milliseconds of a
// flood, so a slow frame does not cost readings.
constexpr int WantedReceiveBuffer = 16 * 1024 * 1024;
} // namespace

#ifdef ZARARE_BATCHED_SOCKET

struct UdpSocket::Backend {
    static constexpr int Batch = ReadBatch;
    static constexpr int SlotBytes = 65536;
    // Slots are this far apart: a little more than a slot, so that the starts of the datagrams of one
    // batch fall into different cache sets (at a stride of 64 KiB they would all compete for the same few).
    static constexpr int SlotStride = SlotBytes + 3 * 64;
    static constexpr int PreparedBytes = 512; // of each slot, see Backend()

    int fd = -1;
    quint16 port = 0;
    int rcvbuf = 0;
    std::unique_ptr<QSocketNotifier> notifier;
    // Armed instead of the notifier once a wake-up has emptied the socket: the next read comes after
    // GatherMs, when the datagrams of a steady stream have gathered, instead of one wake-up per handful.
    QTimer gather;
    // Only the start of each slot is written (see Backend()): the rest of a slot's pages are touched only
    // as far as its datagrams reach, so a batch of readings keeps one or two pages of each slot.
    std::unique_ptr<char[]> buffers{new char[size_t(Batch) * SlotStride]};
    mmsghdr msgs[Batch];
    iovec iov[Batch];
    // Each datagram's sender.
    sockaddr_in6 names[Batch];
    int filled = Batch; // entries the last receive wrote into

    Backend() {
        gather.setSingleShot(true);
        gather.setTimerType(Qt::PreciseTimer);
        gather.setInterval(GatherMs);
        std::memset(msgs, 0, sizeof msgs);
        for (int i = 0; i < Batch; ++i) {
            iov[i].iov_base = buffers.get() + size_t(i) * SlotStride;
            iov[i].iov_len = SlotBytes;
            msgs[i].msg_hdr.msg_iov = &iov[i];
            msgs[i].msg_hdr.msg_iovlen = 1;
            msgs[i].msg_hdr.msg_name = &names[i];
            // Made resident now, where a reading lands: else the first batch that reaches a slot takes a
            // page fault inside the system's copy, in the midst of the first burst of traffic.
            std::memset(iov[i].iov_base, 0, PreparedBytes);
        }
    }
    ~Backend() {
        notifier.reset();
        close();
    }

    void close() {
        // Close may be called from a DataArrival handler, inside the notifier's own signal.
        gather.stop();
        gather.disconnect(); // a handler may be running inside its signal: Qt allows that
        if (notifier) {
            notifier->setEnabled(false);
            notifier.release()->deleteLater();
        }
        if (fd >= 0)
            ::close(fd);
        fd = -1;
        port = 0;
        rcvbuf = 0;
    }

    // One batch into the slots: how many datagrams came, or -1. The system writes how much of each name
    // buffer it used, so the entries the last batch filled (all, before the first) are made whole again.
    int receive() {
        for (int i = 0; i < filled; ++i) {
            msgs[i].msg_hdr.msg_flags = 0;
            msgs[i].msg_hdr.msg_namelen = sizeof names[i];
        }
        const int n = ::recvmmsg(fd, msgs, Batch, MSG_DONTWAIT, nullptr);
        filled = n > 0 ? n : 0;
        return n;
    }

    static QString reason(int err) {
        switch (err) {
        case EACCES:
        case EPERM:
            return QStringLiteral("permission denied (ports below 1024 need root or CAP_NET_BIND_SERVICE)");
        case EADDRINUSE:
            return QStringLiteral("the port is already in use by another program");
        default: {
            QString text = QString::fromLocal8Bit(std::strerror(err));
            if (!text.isEmpty())
                text[0] = text[0].toLower();
            return text;
        }
        }
    }

    bool open(quint16 wanted, int buffer, QString *why) {
        int s = ::socket(AF_INET6, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        bool v6 = s >= 0;
        if (!v6)
            s = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (s < 0) {
            *why = reason(errno);
            return false;
        }
        int rc;
        if (v6) {
            int off = 0;
            ::setsockopt(s, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
            sockaddr_in6 a{};
            a.sin6_family = AF_INET6;
            a.sin6_addr = in6addr_any;
            a.sin6_port = htons(wanted);
            rc = ::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a);
        } else {
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(INADDR_ANY);
            a.sin_port = htons(wanted);
            rc = ::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a);
        }
        if (rc != 0) {
            *why = reason(errno);
            ::close(s);
            return false;
        }
        // As large a receive buffer as allowed: FORCE passes the system cap where we have the right.
        int size = buffer > 0 ? buffer : WantedReceiveBuffer;
        if (::setsockopt(s, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
            ::setsockopt(s, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        socklen_t len = sizeof rcvbuf;
        ::getsockopt(s, SOL_SOCKET, SO_RCVBUF, &rcvbuf, &len);

        sockaddr_storage bound{};
        len = sizeof bound;
        ::getsockname(s, reinterpret_cast<sockaddr *>(&bound), &len);
        port = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6 *>(&bound)->sin6_port
                                                 : reinterpret_cast<sockaddr_in *>(&bound)->sin_port);
        fd = s;
        return true;
    }
};

bool UdpSocket::openPort(quint16 port, QString *why) {
    if (!backend_->open(port, wantedBuffer_, why))
        return false;
    backend_->notifier = std::make_unique<QSocketNotifier>(backend_->fd, QSocketNotifier::Read);
    // One wake-up: by the notifier (the first datagram after a quiet spell) or by the gather timer.
    const auto wake = [this] {
        if (delivering_)
            return;
        Backend &b = *backend_;
        QSocketNotifier *notifier = b.notifier.get();
        notifier->setEnabled(false); // no nested wake-ups while handlers run
        QElapsedTimer clock;
        clock.start();
        wakeUpMs_ = clock.msecsSinceReference();
        int taken = 0;
        bool more = false; // stopped by the time bound with datagrams left
        while (b.fd >= 0 && taken < MaxDatagramsPerWakeUp) {
            const int n = b.receive();
            if (n <= 0)
                break; // EAGAIN: drained (or an error the next wake-up will meet again)
            const int fdAtStart = b.fd;
            for (int i = 0; i < n && b.fd == fdAtStart; ++i) {
                msghdr &h = b.msgs[i].msg_hdr;
                sender_.assign(h.msg_namelen > 0 ? static_cast<const sockaddr *>(h.msg_name) : nullptr);
                deliver(QByteArrayView(static_cast<const char *>(b.iov[i].iov_base),
                                       qsizetype(b.msgs[i].msg_len)));
            }
            taken += n;
            if (n < Backend::Batch)
                break;
            if (clock.elapsed() >= 8) {
                more = true;
                break;
            }
        }
        if (b.notifier.get() != notifier)
            return; // closed (and perhaps bound again) by a handler
        // Datagrams still waiting: the event loop runs, then the notifier fires again at once. Emptied:
        // gather for a moment. Nothing came: the socket is quiet, so the next datagram wakes us at once.
        // A flood (more than GatherAtMost since the last read) is read again as soon as more is there,
        // so that a wait of ours never adds to the receive buffer's fill.
        if (taken > 0 && !more && taken <= GatherAtMost)
            b.gather.start();
        else
            notifier->setEnabled(true);
    };
    connect(backend_->notifier.get(), &QSocketNotifier::activated, this, wake);
    connect(&backend_->gather, &QTimer::timeout, this, wake);
    return true;
}

void UdpSocket::Close() {
    backend_->close();
}

bool UdpSocket::isBound() const {
    return backend_->fd >= 0;
}

quint16 UdpSocket::localPort() const {
    return backend_->port;
}

int UdpSocket::receiveBufferBytes() const {
    return backend_->rcvbuf;
}

qint64 UdpSocket::kernelDrops() const {
    // Asked for when shown, not carried with every datagram: the socket's own count of datagrams the
    // system dropped for want of buffer space since it was opened.
    if (backend_->fd < 0)
        return -1;
    std::uint32_t info[SK_MEMINFO_VARS] = {};
    socklen_t len = sizeof info;
    if (::getsockopt(backend_->fd, SOL_SOCKET, SO_MEMINFO, info, &len) != 0 ||
        len < socklen_t(sizeof(std::uint32_t) * (SK_MEMINFO_DROPS + 1)))
        return -1;
    return info[SK_MEMINFO_DROPS];
}

#else // QUdpSocket fallback

struct UdpSocket::Backend {
    std::unique_ptr<QUdpSocket> socket;
    QByteArray buffer;
    QHostAddress from;
};

namespace {
SenderAddress senderOf(const QHostAddress &a) {
    bool isV4 = false;
    const quint32 v4 = a.toIPv4Address(&isV4); // IPv4-mapped IPv6 too
    if (isV4)
        return SenderAddress::v4(v4);
    if (a.protocol() != QAbstractSocket::IPv6Protocol)
        return {};
    const Q_IPV6ADDR raw = a.toIPv6Address();
    std::uint8_t bytes[16];
    std::memcpy(bytes, raw.c, 16);
    return SenderAddress::v6(bytes);
}
} // namespace

bool UdpSocket::openPort(quint16 port, QString *why) {
    auto socket = std::make_unique<QUdpSocket>();
    // DontShareAddress: a port another program holds is busy, on Windows too.
    if (!socket->bind(QHostAddress::Any, port, QAbstractSocket::DontShareAddress)) {
        *why = socket->error() == QAbstractSocket::AddressInUseError
                   ? QStringLiteral("the port is already in use by another program")
               : socket->error() == QAbstractSocket::SocketAccessError ? QStringLiteral("permission denied")
                                                                       : socket->errorString();
        return false;
    }
    socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption,
                            wantedBuffer_ > 0 ? wantedBuffer_ : WantedReceiveBuffer);
    backend_->socket = std::move(socket);
    connect(backend_->socket.get(), &QUdpSocket::readyRead, this, [this] {
        if (delivering_)
            return;
        Backend &b = *backend_;
        QUdpSocket *s = b.socket.get();
        QElapsedTimer clock;
        clock.start();
        wakeUpMs_ = clock.msecsSinceReference();
        int taken = 0;
        while (s && s == b.socket.get() && s->hasPendingDatagrams() && taken++ < MaxDatagramsPerWakeUp) {
            const qint64 size = s->pendingDatagramSize();
            b.buffer.resize(qMax<qint64>(size, 1));
            const qint64 got = s->readDatagram(b.buffer.data(), b.buffer.size(), &b.from);
            if (got < 0)
                break;
            sender_ = senderOf(b.from);
            deliver(QByteArrayView(b.buffer.constData(), got));
        }
    });
    return true;
}

void UdpSocket::Close() {
    // Close may be called from a DataArrival handler, inside the socket's own readyRead: the port is
    // let go at once, the object itself once that signal has returned.
    if (QUdpSocket *s = backend_->socket.release()) {
        s->disconnect(this);
        s->close();
        s->deleteLater();
    }
}

bool UdpSocket::isBound() const {
    return backend_->socket != nullptr;
}

quint16 UdpSocket::localPort() const {
    return backend_->socket ? backend_->socket->localPort() : 0;
}

qint64 UdpSocket::kernelDrops() const {
    return -1; // QUdpSocket does not report the system's drops
}

int UdpSocket::receiveBufferBytes() const {
    return backend_->socket
               ? backend_->socket->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt()
               : 0;
}

#endif

UdpSocket::UdpSocket(QObject *parent) : QObject(parent), backend_(std::make_unique<Backend>()) {}

UdpSocket::~UdpSocket() = default;

bool UdpSocket::bindPort(quint16 port, QString *error) {
    QString why;
    if (isBound())
        why = QStringLiteral("the socket is already open");
    else if (openPort(port, &why))
        return true;
    if (error)
        *error = bindFailure(QString::number(port), why);
    return false;
}

bool UdpSocket::Bind(const QString &portText, QString *error) {
    quint16 port = 0;
    if (!PortText::parse(portText, &port)) {
        if (error)
            *error = bindFailure(QStringLiteral("\"%1\"").arg(portText),
                                 QStringLiteral("a port is a whole number from 1 to 65535"));
        return false;
    }
    return bindPort(port, error);
}

void UdpSocket::connectNotify(const QMetaMethod &signal) {
    if (signal == QMetaMethod::fromSignal(&UdpSocket::DataArrival))
        dataArrivalWatched_.store(true, std::memory_order_relaxed);
}

void UdpSocket::deliver(QByteArrayView datagram) {
    delivering_ = true;
    current_ = datagram;
    if (receiver_)
        receiver_->dataArrival(int(datagram.size()));
    if (dataArrivalWatched_.load(std::memory_order_relaxed))
        emit DataArrival(int(datagram.size()));
    current_ = QByteArrayView();
    sender_ = SenderAddress();
    delivering_ = false;
}
