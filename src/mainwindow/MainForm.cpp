#include "mainwindow/MainForm.h"

#include "platform/AppIdentity.h"
#include "platform/MessageBox.h"
#include "platform/Twips.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>

namespace {
// Design-time places of the controls in the client area, in twips.
constexpr float GridLeft = 120, GridTop = 240, GridWidth = 12495, GridHeight = 2295;
constexpr float ClientWidth = 7695, ClientHeight = 2580;

QFont boldLabelFont() {
    QFont f;
    f.setPointSizeF(8.25);
    f.setBold(true);
    return f;
}

QLineEdit *counterBox(QWidget *parent, const char *name) {
    auto *box = new QLineEdit(QStringLiteral("0"), parent);
    box->setObjectName(QLatin1String(name));
    box->setReadOnly(true);
    box->setFocusPolicy(Qt::NoFocus);
    box->setFrame(false);
    box->setTextMargins(0, 0, 0, 0);
    box->setContentsMargins(0, 0, 0, 0);
    QPalette p = box->palette();
    p.setColor(QPalette::Base, p.color(QPalette::Window));
    box->setPalette(p);
    return box;
}
} // namespace

MainForm::MainForm(QWidget *parent) : QMainWindow(parent), reception(DudUDP, grid) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(AppIdentity::title());
    // The socket, the cells and the reception path are members, and children so that they can be found
    // by name like every other control.
    DudUDP.setParent(this);
    DudUDP.setObjectName(QStringLiteral("DudUDP"));
    grid.setParent(this);
    grid.setObjectName(QStringLiteral("MSFlexGrid1Cells"));
    reception.setParent(this);

    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    Label2 = new QLabel(QStringLiteral("Packets Received:"), client);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(boldLabelFont());
    Twips::place(Label2, 120, 0, 1815, 255);

    PacketsReceived = counterBox(client, "PacketsReceived");
    Twips::place(PacketsReceived, 1800, 0, 615, 195);

    Label1 = new QLabel(QStringLiteral("Bytes Received:"), client);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(boldLabelFont());
    Label1->setAlignment(Qt::AlignRight | Qt::AlignTop);
    Twips::place(Label1, 2520, 0, 1575, 255);

    ReceivedBytes = counterBox(client, "ReceivedBytes");
    Twips::place(ReceivedBytes, 4320, 0, 1095, 165);

    MSFlexGrid1 = new QTableView(client);
    MSFlexGrid1->setObjectName(QStringLiteral("MSFlexGrid1"));
    MSFlexGrid1->setModel(&grid);
    // Fixed row heights and column widths: a full grid of 32,767 hosts never measures its contents.
    MSFlexGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    MSFlexGrid1->verticalHeader()->setDefaultSectionSize(MSFlexGrid1->fontMetrics().height() + 4);
    MSFlexGrid1->verticalHeader()->setMinimumWidth(Twips::toPixelsX(1200, this));
    MSFlexGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    MSFlexGrid1->horizontalHeader()->setDefaultSectionSize(Twips::toPixelsX(1000, this));
    MSFlexGrid1->setWordWrap(false);
    Twips::place(MSFlexGrid1, GridLeft, GridTop, GridWidth, GridHeight);

    resize(Twips::toPixelsX(ClientWidth, this), Twips::toPixelsY(ClientHeight, this));

    connect(&reception, &DatagramReception::countersChanged, this, &MainForm::showCounters);
}

MainForm::~MainForm() = default;

void MainForm::Form_Load() {
    reception.PacketsReceived.setText(QStringLiteral("0"));
    reception.ReceivedBytes.setText(QStringLiteral("0"));
    showCounters();
    reception.hostGrid.reset();
    reception.hostGrid.writeHeaderRow();
    grid.flush();

    QString error;
    if (!DudUDP.Bind(portText, &error))
        MessageBox::warn(this, error);
}

void MainForm::showCounters() {
    PacketsReceived->setText(reception.PacketsReceived.text());
    ReceivedBytes->setText(reception.ReceivedBytes.text());
}

void MainForm::layoutGrid() {
    const QWidget *client = centralWidget();
    const int left = Twips::toPixelsX(GridLeft, this), top = Twips::toPixelsY(GridTop, this);
    MSFlexGrid1->setGeometry(left, top, qMax(0, client->width() - left), qMax(0, client->height() - top));
}

void MainForm::resizeEvent(QResizeEvent *event) {
    QMainWindow::resizeEvent(event);
    layoutGrid();
}
