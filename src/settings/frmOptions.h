#pragma once

#include "settings/SettingsFile.h"

#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class UdpSocket;

// The options dialog "Zar-Are Options": the port to listen on and the main window's geometry in twips.
// Its boxes are the program's live copy of the settings. Save moves the socket to the port in the box,
// writes the settings file and hides the dialog.
//
// There is one dialog at a time, reached through ref(): asking for it creates it hidden; only show()
// makes it visible; its close box unloads it (the next ref() creates it afresh).
class frmOptions : public QWidget {
    Q_OBJECT
public:
    // The main window whose geometry the dialog shows and saves, and the socket Save moves.
    static void setContext(QWidget *mainWindow, UdpSocket *socket);
    static frmOptions *ref();
    static frmOptions *instance(); // null when not loaded
    static void unload();

    // Puts the stored port into the port box. A damaged or unreadable file is reported and changes
    // nothing. Returns what was read.
    SettingsFile::ReadResult LoadConfig();
    // Captures the main window's geometry and writes the file; false (after telling the user) when the
    // file could not be written.
    bool SaveConfig();
    // The geometry capture: the main window's Height, Width, Top and Left into the four boxes.
    void captureGeometry();
    void cmdOK_Click();

    QPushButton *cmdOK = nullptr;
    QLineEdit *portvalue = nullptr;
    QLineEdit *readheight = nullptr;
    QLineEdit *readwidth = nullptr;
    QLineEdit *readtop = nullptr;
    QLineEdit *readleft = nullptr;
    QGroupBox *Options = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label_Width = nullptr;  // carries "Window Height:"
    QLabel *Label_Height = nullptr; // carries "Window Width:"
    QLabel *LabelTop = nullptr;
    QLabel *labelLeft = nullptr;

private:
    frmOptions();
    ~frmOptions() override;
};
