#include "reception/DatagramReception.h"

#include "grid/FlexGrid.h"
#include "net/UdpSocket.h"
#include "reception/DatagramText.h"

DatagramReception::DatagramReception(UdpSocket &socket, FlexGrid &grid, QObject *parent)
    : QObject(parent), hostGrid(grid), socket_(socket), grid_(grid), frame_(this) {
    socket_.setReceiver(this);
    connect(&frame_, &FrameTimer::fires, this, &DatagramReception::countersChanged);
}

DatagramReception::~DatagramReception() {
    socket_.setReceiver(nullptr);
}

void DatagramReception::DudUDP_DataArrival(int) {
    const SenderAddress &from = socket_.sender();
    if (!allow_.allows(from)) {
        ++rejected_;
        frame_.request();
        return;
    }
    grid_.setWriteTime(socket_.wakeUpTimeMs());
    processDatagram(socket_.GetData(), &from);
}

void DatagramReception::processDatagram(QByteArrayView bytes, const SenderAddress *sender) {
    ++accepted_;
    DatagramText::decodeInto(bytes, reading.udpdata);
    ReceivedBytes.add(double(bytes.size()));
    PacketsReceived.add(1);
    frame_.request();
    reading.sender = sender;
    reading.parseudp();
    reading.sender = nullptr;
    notUnderstood_ += reading.understood ? 0 : 1;
    hostGrid.fillgrid(reading);
}

DatagramReception::Statistics DatagramReception::statistics() const {
    Statistics s;
    s.accepted = accepted_;
    s.rejected = rejected_;
    s.notUnderstood = notUnderstood_;
    s.kernelDrops = socket_.kernelDrops();
    s.bufferBytes = socket_.receiveBufferBytes();
    return s;
}
