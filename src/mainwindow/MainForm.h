#pragma once

#include "platform/FlexGrid.h"
#include "platform/UdpSocket.h"
#include "reception/DatagramReception.h"

#include <QMainWindow>

class QLabel;
class QLineEdit;
class QTableView;

// The main window: the traffic counters along the top and the host grid below them, fed by the UDP
// socket it owns.
class MainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit MainForm(QWidget *parent = nullptr);
    ~MainForm() override;

    // Start-up: zeroes the counters, writes the grid's header row, names the window and binds the socket.
    void Form_Load();

    UdpSocket DudUDP;
    FlexGrid grid;
    DatagramReception reception;

    QLabel *Label1 = nullptr; // "Bytes Received:"
    QLabel *Label2 = nullptr; // "Packets Received:"
    QLineEdit *PacketsReceived = nullptr;
    QLineEdit *ReceivedBytes = nullptr;
    QTableView *MSFlexGrid1 = nullptr;

    // The port the socket is bound to at start-up.
    QString portText = QStringLiteral("514");

private:
    void showCounters();
    void layoutGrid();

protected:
    void resizeEvent(QResizeEvent *event) override;
};
