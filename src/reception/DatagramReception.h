#pragma once

#include "grid/FrameTimer.h"
#include "net/AllowList.h"
#include "net/UdpSocket.h"
#include "reception/HostGrid.h"
#include "reception/ReadingParser.h"
#include "reception/TrafficCounter.h"

#include <QByteArrayView>
#include <QObject>

class FlexGrid;

// Where a reading enters the program: for every datagram the socket delivers, the text goes into the
// reading fields, both traffic counters advance, and the reading is parsed and stored in the grid.
// Views learn of changed counters through countersChanged(), at most once per display frame.
class DatagramReception : public QObject, private UdpSocket::Receiver {
    Q_OBJECT
public:
    DatagramReception(UdpSocket &socket, FlexGrid &grid, QObject *parent = nullptr);
    ~DatagramReception() override;

    // The socket's data-arrival handler: takes the waiting datagram and processes it.
    void DudUDP_DataArrival(int bytesTotal);
    // Counts, parses and stores one datagram's bytes; `sender`, when known, is the host of a line
    // without a host field.
    void processDatagram(QByteArrayView bytes, const SenderAddress *sender = nullptr);

    // Who may send: datagrams from elsewhere are dropped unread and counted apart. Empty: everyone.
    void setAllowList(const AllowList &list) { allow_ = list; }
    const AllowList &allowList() const { return allow_; }

    // What the statistics window shows.
    struct Statistics {
        quint64 accepted = 0;      // datagrams taken (the allow list let them in)
        quint64 rejected = 0;      // datagrams from senders the allow list keeps out
        quint64 notUnderstood = 0; // accepted lines without a bracketed tag or without a value
        qint64 kernelDrops = -1;   // dropped by the system, the receive buffer being full; -1: not known
        int bufferBytes = 0;       // the receive buffer the system granted
    };
    Statistics statistics() const;

    ReadingParser reading;
    HostGrid hostGrid;
    TrafficCounter PacketsReceived;
    TrafficCounter ReceivedBytes;

signals:
    void countersChanged();

private:
    void dataArrival(int bytesTotal) override { DudUDP_DataArrival(bytesTotal); }

    UdpSocket &socket_;
    FlexGrid &grid_;
    FrameTimer frame_;
    AllowList allow_;
    quint64 accepted_ = 0;
    quint64 rejected_ = 0;
    quint64 notUnderstood_ = 0;
};
