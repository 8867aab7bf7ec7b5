#pragma once

#include "net/SenderAddress.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

// The program's UDP receiver. Bound to one port on every local address (IPv4 and IPv6), it raises
// DataArrival once for each waiting datagram, on the thread that owns it, one at a time and never while
// a DataArrival handler is still running. Inside the handler GetData() gives the datagram's bytes.
// The program's own handler is a Receiver, called directly for each datagram before the signal: a
// signal's dispatch per datagram would cost a tenth of the reading path.
//
// On Linux the socket is read in batches (recvmmsg) with a receive buffer as large as the system
// allows, a steady stream every GatherMs rather than at every datagram; elsewhere (or built with
// ZARARE_PORTABLE_SOCKET, which tests that path here) it is a QUdpSocket.
class UdpSocket : public QObject {
    Q_OBJECT
public:
    // Takes each datagram as DataArrival's handlers do, first of them.
    class Receiver {
    public:
        virtual void dataArrival(int bytesTotal) = 0;

    protected:
        ~Receiver() = default;
    };

    explicit UdpSocket(QObject *parent = nullptr);
    ~UdpSocket() override;

    // Binds to the port written in `portText`: a whole number from 1 to 65535, spaces around it allowed.
    // On failure returns false and, when `error` is given, a sentence for the user that names the port
    // and the reason ("Port 514 could not be opened: permission denied").
    bool Bind(const QString &portText, QString *error = nullptr);
    // Binds to a port number; 0 lets the system choose one (see localPort()).
    bool bindPort(quint16 port, QString *error = nullptr);
    void Close();
    // One receiver at a time; null for none. It must outlive the socket or be taken away first.
    void setReceiver(Receiver *receiver) { receiver_ = receiver; }

    bool isBound() const;
    quint16 localPort() const;
    // The receive buffer the system granted, in bytes (0 when unknown or not bound).
    int receiveBufferBytes() const;

    // The datagram being delivered; empty outside a DataArrival handler. The view stays valid until the
    // handler returns.
    QByteArrayView GetData() const { return current_; }
    // Where that datagram came from (Unknown outside a handler, or where the system does not say).
    const SenderAddress &sender() const { return sender_; }

    // Datagrams the system dropped since the port was opened because the receive buffer was full (asked
    // of the system when called); -1 where the system does not report it.
    qint64 kernelDrops() const;
    // The receive buffer to ask for at the next bind, in bytes (0: the default, as large as allowed).
    // Tests ask for a small one to overflow it.
    void requestReceiveBuffer(int bytes) { wantedBuffer_ = bytes; }
    // A monotonic time (QElapsedTimer::msecsSinceReference) taken once at the start of each wake-up's
    // reads: the arrival time of every datagram delivered in that wake-up.
    qint64 wakeUpTimeMs() const { return wakeUpMs_; }

    // Where the system allows, datagrams are taken this many per system call: every call costs about a
    // microsecond on some machines (kernels that isolate their page tables), as much as several
    // datagrams, so a large batch spreads it thin.
    static constexpr int ReadBatch = 256;
    // Reads at most this many datagrams per wake-up before letting the event loop run again.
    static constexpr int MaxDatagramsPerWakeUp = 8192;
    // Once a wake-up has emptied the socket, the next read waits this long, so that a steady stream is
    // read in large batches rather than a few datagrams per wake-up. The first datagram after a quiet
    // spell is read at once; none waits in the socket for longer than this plus the reads before it.
    static constexpr int GatherMs = 4;
    // ... as long as a wake-up takes no more than this many (about 500,000 datagrams/s); a faster stream
    // is read again as soon as datagrams wait.
    static constexpr int GatherAtMost = 2048;

signals:
    void DataArrival(int bytesTotal);

protected:
    void connectNotify(const QMetaMethod &signal) override;

private:
    struct Backend;
    bool openPort(quint16 port, QString *why);
    void deliver(QByteArrayView datagram);

    std::unique_ptr<Backend> backend_;
    Receiver *receiver_ = nullptr;
    QByteArrayView current_;
    SenderAddress sender_;
    int wantedBuffer_ = 0;
    bool delivering_ = false;
    // Whether anything was ever connected to DataArrival: until then it is not raised at all, since even
    // a signal without connections costs its dispatch's look-ups, a twentieth of the reading path.
    std::atomic<bool> dataArrivalWatched_{false};
    qint64 wakeUpMs_ = 0;
};

namespace PortText {
// Parses a port text: a whole number from 1 to 65535, surrounding spaces allowed.
bool parse(const QString &text, quint16 *port);
} // namespace PortText
