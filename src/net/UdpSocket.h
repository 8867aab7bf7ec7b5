#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>

#include <memory>

// The program's UDP receiver. Bound to one port on every local address (IPv4 and IPv6), it raises
// DataArrival once for each waiting datagram, on the thread that owns it, one at a time and never while
// a DataArrival handler is still running. Inside the handler GetData() gives the datagram's bytes.
//
// On Linux the socket is read in batches (recvmmsg) with a receive buffer as large as the system
// allows; elsewhere (or built with ZARARE_PORTABLE_SOCKET, which tests that path here) it is a QUdpSocket.
class UdpSocket : public QObject {
    Q_OBJECT
public:
    explicit UdpSocket(QObject *parent = nullptr);
    ~UdpSocket() override;

    // Binds to the port written in `portText`: a whole number from 1 to 65535, spaces around it allowed.
    // On failure returns false and, when `error` is given, a sentence for the user that names the port
    // and the reason ("Port 514 could not be opened: permission denied").
    bool Bind(const QString &portText, QString *error = nullptr);
    // Binds to a port number; 0 lets the system choose one (see localPort()).
    bool bindPort(quint16 port, QString *error = nullptr);
    void Close();

    bool isBound() const;
    quint16 localPort() const;
    // The receive buffer the system granted, in bytes (0 when unknown or not bound).
    int receiveBufferBytes() const;

    // The datagram being delivered; empty outside a DataArrival handler. The view stays valid until the
    // handler returns.
    QByteArrayView GetData() const { return current_; }
    // A monotonic time (QElapsedTimer::msecsSinceReference) taken once at the start of each wake-up's
    // reads: the arrival time of every datagram delivered in that wake-up.
    qint64 wakeUpTimeMs() const { return wakeUpMs_; }

    // Reads at most this many datagrams per wake-up before letting the event loop run again.
    static constexpr int MaxDatagramsPerWakeUp = 8192;

signals:
    void DataArrival(int bytesTotal);

private:
    struct Backend;
    bool openPort(quint16 port, QString *why);
    void deliver(QByteArrayView datagram);

    std::unique_ptr<Backend> backend_;
    QByteArrayView current_;
    bool delivering_ = false;
    qint64 wakeUpMs_ = 0;
};

namespace PortText {
// Parses a port text: a whole number from 1 to 65535, surrounding spaces allowed.
bool parse(const QString &text, quint16 *port);
} // namespace PortText
