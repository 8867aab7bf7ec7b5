#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class QFrame;
class QLabel;
class QPushButton;
class Registry;

// The About box: the program's title, version, description, web address and notice, an OK button and
// a button that starts the system's information tool. One instance at most, reached through
// instance(); it is shown modeless without an owner and is destroyed when closed, so each new showing
// loads it afresh.
class frmAbout : public QDialog {
    Q_OBJECT

public:
    // Starts a program: the whole text is the program's path, with no arguments, not waited for.
    // True when it started.
    using Launcher = std::function<bool(const QString &program)>;

    // Creates the dialog, hidden, if it is not loaded, and returns it.
    static frmAbout *load();
    // Loads the dialog if needed, shows it modeless and brings it to the front.
    static void showModeless();
    // The loaded dialog, or nullptr.
    static frmAbout *instance();

    // Where the dialogs look up the information tool and how they start it. Null or empty restores
    // the system registry and the detached start of a process.
    static void setRegistry(Registry *registry);
    static void setLauncher(Launcher launcher);

    // The version line: "Version " and the three numbers, dot separated, in decimal.
    static QString versionLine(int major, int minor, int revision);
    // What the user is told when the information tool can be neither found nor started.
    static QString unavailableText();

    // Reads the value `subKeyRef` of the key `keyName` under the root key `keyRoot` into `keyVal`: a
    // String as its text without the terminating zero byte, a Dword as "&h" and its hexadecimal digits;
    // a value of any other type counts as found and leaves `keyVal` as it was. A missing key or value,
    // one longer than 1024 bytes or one of no bytes at all gives false and an empty `keyVal`. The key is
    // closed again whenever it was opened.
    bool GetKeyValue(quint32 keyRoot, const QString &keyName, const QString &subKeyRef, QString &keyVal);
    // Finds the system's information tool in the registry and starts it; tells the user when it is
    // unavailable.
    void StartSysInfo();

    QPushButton *cmdOK = nullptr;
    QLabel *picIcon = nullptr;
    QPushButton *cmdSysInfo = nullptr;
    QLabel *lblDescription = nullptr;
    QLabel *lblDisclaimer = nullptr;
    QLabel *lblTitle = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *Label1 = nullptr;
    QFrame *Line1 = nullptr;

private slots:
    void cmdOK_Click();
    void cmdSysInfo_Click();

private:
    frmAbout();

    enum class Lookup { Found, Missing, Failed };
    // GetKeyValue, telling a missing value from one that could not be read at all (no bytes), after
    // which the search for the tool gives up.
    Lookup lookUp(quint32 keyRoot, const QString &keyName, const QString &subKeyRef, QString &keyVal);
    void Form_Load();
    void showUnavailable();
};
