#include "settings/frmOptions.h"

#include "desktop/DesignFont.h"
#include "desktop/LoadedForms.h"
#include "desktop/MessageBox.h"
#include "geometry/Twips.h"
#include "geometry/WindowGeometry.h"
#include "net/UdpSocket.h"
#include "text/NumberText.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include <utility>

namespace {
QPointer<frmOptions> theDialog;
QPointer<QWidget> mainWindow;
QPointer<UdpSocket> socket;

constexpr float FrameLeft = 120, FrameTop = 240;

// Labels sit in the frame; their places are given in the dialog's coordinates.
QLabel *frameLabel(QGroupBox *frame, const char *name, const char *caption, float left, float top,
                   float width, float height, Qt::Alignment align) {
    auto *label = new QLabel(QString::fromLatin1(caption), frame);
    label->setObjectName(QLatin1String(name));
    label->setFont(DesignFont::sansSerif(8.25, true));
    label->setAlignment(align | Qt::AlignTop);
    Twips::place(label, left - FrameLeft, top - FrameTop, width, height);
    return label;
}

QLineEdit *box(QWidget *parent, const char *name, const char *text, float top, bool readOnly) {
    auto *edit = new QLineEdit(QString::fromLatin1(text), parent);
    edit->setObjectName(QLatin1String(name));
    edit->setReadOnly(readOnly);
    Twips::place(edit, 2040, top, 975, 285);
    return edit;
}
} // namespace

void frmOptions::setContext(QWidget *window, UdpSocket *udp) {
    mainWindow = window;
    socket = udp;
}

frmOptions *frmOptions::ref() {
    if (!theDialog)
        theDialog = new frmOptions;
    return theDialog;
}

frmOptions *frmOptions::instance() {
    return theDialog;
}

void frmOptions::unload() {
    delete theDialog.data();
}

frmOptions::frmOptions()
    : QWidget(nullptr,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmOptions"));
    setFont(DesignFont::sansSerif(8.25));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Zar-Are Options"));
    setFixedSize(Twips::toPixelsX(4875, this), Twips::toPixelsY(3270, this));
    LoadedForms::add(this);

    cmdOK = new QPushButton(QStringLiteral("Save"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setAutoDefault(false);
    cmdOK->setDefault(false);
    Twips::place(cmdOK, 3600, 360, 1095, 375);

    Options = new QGroupBox(QStringLiteral("Options"), this);
    Options->setObjectName(QStringLiteral("Options"));
    Twips::place(Options, FrameLeft, FrameTop, 3255, 2895);
    Label1 = frameLabel(Options, "Label1", "Incoming UDP Port:", 240, 600, 1815, 375, Qt::AlignLeft);
    Label_Width = frameLabel(Options, "Label_Width", "Window Height:", 360, 1080, 1575, 495, Qt::AlignRight);
    Label_Height = frameLabel(Options, "Label_Height", "Window Width:", 600, 1560, 1575, 495, Qt::AlignLeft);
    LabelTop = frameLabel(Options, "LabelTop", "Window Top:", 600, 2040, 1335, 375, Qt::AlignRight);
    labelLeft = frameLabel(Options, "labelLeft", "Window Left:", 720, 2520, 1215, 375, Qt::AlignRight);

    // The geometry boxes show the window's geometry; every capture overwrites them, so they take no typing.
    portvalue = box(this, "portvalue", "514", 600, false);
    readheight = box(this, "readheight", "Text1", 1080, true);
    readwidth = box(this, "readwidth", "Text1", 1560, true);
    readtop = box(this, "readtop", "Text1", 2040, true);
    readleft = box(this, "readleft", "Text1", 2520, true);

    // What a screen reader says for each box: its label without the colon.
    const std::pair<QLineEdit *, QLabel *> named[] = {{portvalue, Label1},
                                                      {readheight, Label_Width},
                                                      {readwidth, Label_Height},
                                                      {readtop, LabelTop},
                                                      {readleft, labelLeft}};
    for (const auto &[edit, label] : named) {
        QString name = label->text();
        name.chop(1);
        edit->setAccessibleName(name);
        label->setBuddy(edit);
    }

    Options->setFocusPolicy(Qt::NoFocus);
    setTabOrder(cmdOK, portvalue);
    setTabOrder(portvalue, readheight);
    setTabOrder(readheight, readwidth);
    setTabOrder(readwidth, readtop);
    setTabOrder(readtop, readleft);

    connect(cmdOK, &QPushButton::clicked, this, &frmOptions::cmdOK_Click);
}

frmOptions::~frmOptions() = default;

SettingsFile::ReadResult frmOptions::LoadConfig() {
    const QString path = SettingsFile::path();
    const SettingsFile::ReadResult result = SettingsFile::read(path);
    switch (result.status) {
    case SettingsFile::Status::Complete:
        portvalue->setText(result.record.port);
        break;
    case SettingsFile::Status::Damaged:
    case SettingsFile::Status::Unreadable:
        MessageBox::warn(this, SettingsFile::damagedMessage(path, result));
        break;
    case SettingsFile::Status::Missing:
    case SettingsFile::Status::Empty:
        break;
    }
    return result;
}

void frmOptions::captureGeometry() {
    if (!mainWindow)
        return;
    readheight->setText(NumberText::fromSingle(WindowGeometry::height(mainWindow)));
    readwidth->setText(NumberText::fromSingle(WindowGeometry::width(mainWindow)));
    readtop->setText(NumberText::fromSingle(WindowGeometry::top(mainWindow)));
    readleft->setText(NumberText::fromSingle(WindowGeometry::left(mainWindow)));
}

bool frmOptions::SaveConfig() {
    captureGeometry();
    const QString path = SettingsFile::path();
    QString reason;
    if (!SettingsFile::write(
            path,
            {portvalue->text(), readheight->text(), readwidth->text(), readtop->text(), readleft->text()},
            &reason)) {
        MessageBox::warn(this, QStringLiteral("The settings could not be saved to %1: %2").arg(path, reason));
        return false;
    }
    return true;
}

void frmOptions::cmdOK_Click() {
    if (socket) {
        // Move the socket to the new port; if it cannot be opened, go back to the port it had, so that
        // a typing error never leaves the monitor deaf.
        const quint16 previous = socket->isBound() ? socket->localPort() : 0;
        socket->Close();
        QString error;
        if (!socket->Bind(portvalue->text(), &error)) {
            if (previous != 0) {
                QString again;
                if (socket->bindPort(previous, &again))
                    error += QStringLiteral("\nStill listening on port %1.").arg(previous);
                else
                    error += QLatin1Char('\n') + again;
            }
            MessageBox::warn(this, error);
            return;
        }
    }
    if (!SaveConfig())
        return;
    hide();
}
