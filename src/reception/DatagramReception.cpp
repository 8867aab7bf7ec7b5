#include "reception/DatagramReception.h"

#include "grid/FlexGrid.h"
#include "net/UdpSocket.h"
#include "reception/DatagramText.h"

DatagramReception::DatagramReception(UdpSocket &socket, FlexGrid &grid, QObject *parent)
    : QObject(parent), hostGrid(grid), socket_(socket), grid_(grid), frame_(this) {
    connect(&socket_, &UdpSocket::DataArrival, this, &DatagramReception::DudUDP_DataArrival);
    connect(&frame_, &FrameTimer::fires, this, &DatagramReception::countersChanged);
}

void DatagramReception::DudUDP_DataArrival(int) {
    grid_.setWriteTime(socket_.wakeUpTimeMs());
    processDatagram(socket_.GetData());
}

void DatagramReception::processDatagram(QByteArrayView bytes) {
    DatagramText::decodeInto(bytes, reading.udpdata);
    ReceivedBytes.add(double(bytes.size()));
    PacketsReceived.add(1);
    frame_.request();
    reading.parseudp();
    hostGrid.fillgrid(reading);
}
