#pragma once

#include "grid/FrameTimer.h"
#include "reception/HostGrid.h"
#include "reception/ReadingParser.h"
#include "reception/TrafficCounter.h"

#include <QByteArrayView>
#include <QObject>

class FlexGrid;
class UdpSocket;

// Where a reading enters the program: for every datagram the socket delivers, the text goes into the
// reading fields, both traffic counters advance, and the reading is parsed and stored in the grid.
// Views learn of changed counters through countersChanged(), at most once per display frame.
class DatagramReception : public QObject {
    Q_OBJECT
public:
    DatagramReception(UdpSocket &socket, FlexGrid &grid, QObject *parent = nullptr);

    // The socket's data-arrival handler: takes the waiting datagram and processes it.
    void DudUDP_DataArrival(int bytesTotal);
    // Counts, parses and stores one datagram's bytes.
    void processDatagram(QByteArrayView bytes);

    ReadingParser reading;
    HostGrid hostGrid;
    TrafficCounter PacketsReceived;
    TrafficCounter ReceivedBytes;

signals:
    void countersChanged();

private:
    UdpSocket &socket_;
    FlexGrid &grid_;
    FrameTimer frame_;
};
