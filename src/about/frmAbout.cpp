#include "about/frmAbout.h"

#include "core/RegistryValue.h"
#include "desktop/AppIcon.h"
#include "desktop/AppIdentity.h"
#include "desktop/DesignFont.h"
#include "desktop/LoadedForms.h"
#include "geometry/Twips.h"
#include "registry/Registry.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScreen>

namespace {
QPointer<frmAbout> &theInstance() {
    static QPointer<frmAbout> form;
    return form;
}

Registry *registryOverride = nullptr;

frmAbout::Launcher &launcherOverride() {
    static frmAbout::Launcher launcher;
    return launcher;
}

Registry &registry() {
    return registryOverride ? *registryOverride : Registry::system();
}

bool launch(const QString &program) {
    if (launcherOverride())
        return launcherOverride()(program);
    return QProcess::startDetached(program, {});
}

// Where the information tool is recorded: the program's full path, or else the folder that holds it.
constexpr char toolKey[] = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr char toolValue[] = "PATH";
constexpr char folderKey[] = "SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr char folderValue[] = "MSINFO";
constexpr char toolFile[] = "MSINFO32.EXE";

// The largest value read, in bytes.
constexpr quint32 valueBufferSize = 1024;

// An ordinary file: not a folder, not hidden.
bool isOrdinaryFile(const QString &path) {
    const QFileInfo info(path);
    return info.isFile() && !info.isHidden();
}

void setTextColourBlack(QLabel *label) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(palette);
}

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, bool wrap) {
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(wrap);
    return label;
}
} // namespace

frmAbout::frmAbout()
    : QDialog(nullptr,
#ifdef Q_OS_WIN
              // A tool window keeps an ownerless dialog out of the task bar.
              Qt::Tool |
#else
              // An ownerless dialog is transient for the application, which keeps it out of task lists.
              Qt::Dialog |
#endif
                  Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                  Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("About MyApp"));
    setWindowIcon(AppIcon::icon());

    setFont(DesignFont::sansSerif(8.25));

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    Twips::place(cmdOK, 4245, 2625, 1260, 345);

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setPixmap(AppIcon::icon().pixmap(32, 32));
    Twips::place(picIcon, 240, 120, 540, 540);
    picIcon->resize(picIcon->sizeHint()); // the picture's own size

    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    Twips::place(cmdSysInfo, 4260, 3075, 1245, 345);

    lblDescription = makeLabel(this, "lblDescription",
                               QStringLiteral("Monitors Dud 5 readings from machines connected to the "
                                              "Internet.  Allows you to view all machines in one "
                                              "convenient window.  "),
                               true);
    setTextColourBlack(lblDescription);
    Twips::place(lblDescription, 1080, 720, 3885, 690);

    lblDisclaimer = makeLabel(this, "lblDisclaimer",
                              QStringLiteral("Notice: this program is provided as is, without warranty of "
                                             "any kind. Readings it shows may be late, incomplete or "
                                             "wrong; do not rely on them alone."),
                              true);
    setTextColourBlack(lblDisclaimer);
    Twips::place(lblDisclaimer, 255, 2625, 3870, 825);

    lblTitle = makeLabel(this, "lblTitle", QStringLiteral("Zar-Are"), false);
    lblTitle->setFont(DesignFont::sansSerif(12, true));
    setTextColourBlack(lblTitle);
    Twips::place(lblTitle, 1050, 120, 3885, 360);

    lblVersion = makeLabel(this, "lblVersion", QStringLiteral("Version 1.2, September 2003"), false);
    Twips::place(lblVersion, 1050, 480, 3885, 225);

    Label1 = makeLabel(this, "Label1",
                       QStringLiteral("http://zar-are.example.org/\n"
                                      "With thanks to everyone who tried the early versions, sent their "
                                      "readings and told us what went wrong."),
                       true);
    Label1->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Twips::place(Label1, 1080, 1560, 3975, 855);

    // One etched separator, grey over white, across the dialog above the notice and the buttons.
    Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    Twips::place(Line1, 90, 2445, 5564, 2 * Twips::perPixelY(this));

    // A screen reader reads these labels by their text; the description says what each one is.
    lblTitle->setAccessibleDescription(QStringLiteral("Program title"));
    lblVersion->setAccessibleDescription(QStringLiteral("Program version"));
    lblDescription->setAccessibleDescription(QStringLiteral("Program description"));

    QWidget *tabOrder[] = {cmdOK,         picIcon,  cmdSysInfo, lblDescription,
                           lblDisclaimer, lblTitle, lblVersion, Label1};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);

    // The client area is fixed and opens at the same place on the screen every time.
    const QSize client(Twips::toPixelsX(5730, this), Twips::toPixelsY(3555, this));
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QPoint origin = screen ? screen->geometry().topLeft() : QPoint();
    setFixedSize(client);
    setGeometry(QRect(origin + QPoint(Twips::toPixelsX(6285, this), Twips::toPixelsY(4530, this)), client));

    LoadedForms::add(this);
    Form_Load();
}

void frmAbout::Form_Load() {
    const QString title = QApplication::applicationDisplayName();
    setWindowTitle(QStringLiteral("About ") + title);
    lblVersion->setText(versionLine(AppIdentity::Major, AppIdentity::Minor, AppIdentity::Revision));
    lblTitle->setText(title);
}

frmAbout *frmAbout::load() {
    if (!theInstance())
        theInstance() = new frmAbout;
    return theInstance();
}

void frmAbout::showModeless() {
    frmAbout *form = load();
    form->show();
    form->raise();
    form->activateWindow();
}

frmAbout *frmAbout::instance() {
    return theInstance();
}

void frmAbout::setRegistry(Registry *registry) {
    registryOverride = registry;
}

void frmAbout::setLauncher(Launcher launcher) {
    launcherOverride() = std::move(launcher);
}

QString frmAbout::versionLine(int major, int minor, int revision) {
    return QStringLiteral("Version %1.%2.%3").arg(major).arg(minor).arg(revision);
}

QString frmAbout::unavailableText() {
    return QStringLiteral("System Information Is Unavailable At This Time");
}

void frmAbout::cmdOK_Click() {
    accept();
}

void frmAbout::cmdSysInfo_Click() {
    StartSysInfo();
}

bool frmAbout::GetKeyValue(quint32 keyRoot, const QString &keyName, const QString &subKeyRef,
                           QString &keyVal) {
    return lookUp(keyRoot, keyName, subKeyRef, keyVal) == Lookup::Found;
}

frmAbout::Lookup frmAbout::lookUp(quint32 keyRoot, const QString &keyName, const QString &subKeyRef,
                                  QString &keyVal) {
    Registry &reg = registry();
    Registry::Key key = 0;
    // Read rights are all a lookup needs; asking for more is refused to users without administrator
    // rights under HKEY_LOCAL_MACHINE.
    if (reg.openKey(keyRoot, keyName.toLocal8Bit(), Registry::KeyRead, key) != Registry::Success) {
        keyVal.clear();
        return Lookup::Missing;
    }

    QByteArray buffer(valueBufferSize, '\0');
    quint32 size = valueBufferSize;
    quint32 type = 0;
    Lookup result = Lookup::Found;
    std::string text;
    if (reg.queryValue(key, subKeyRef.toLocal8Bit(), type, buffer.data(), size) != Registry::Success) {
        result = Lookup::Missing;
    } else {
        switch (RegistryValue::cut(type, buffer.constData(), size, valueBufferSize, text)) {
        case RegistryValue::Outcome::Text:
            keyVal = QString::fromLocal8Bit(text);
            break;
        case RegistryValue::Outcome::Unchanged:
            break;
        case RegistryValue::Outcome::Failed:
            result = Lookup::Failed;
            break;
        }
    }
    if (result != Lookup::Found)
        keyVal.clear();
    reg.closeKey(key);
    return result;
}

void frmAbout::StartSysInfo() {
    QString sysInfoPath;
    switch (lookUp(Registry::LocalMachine, QLatin1String(toolKey), QLatin1String(toolValue), sysInfoPath)) {
    case Lookup::Found:
        // Started as recorded: a path to a missing file fails at the start.
        break;
    case Lookup::Failed:
        showUnavailable();
        return;
    case Lookup::Missing:
        if (lookUp(Registry::LocalMachine, QLatin1String(folderKey), QLatin1String(folderValue),
                   sysInfoPath) != Lookup::Found) {
            showUnavailable();
            return;
        }
        sysInfoPath += QDir::separator() + QLatin1String(toolFile);
        if (!isOrdinaryFile(sysInfoPath)) {
            showUnavailable();
            return;
        }
        break;
    }
    if (!launch(sysInfoPath))
        showUnavailable();
}

void frmAbout::showUnavailable() {
    auto *box = new QMessageBox(QMessageBox::NoIcon, QApplication::applicationDisplayName(),
                                unavailableText(), QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("sysInfoUnavailable"));
    box->setWindowModality(Qt::ApplicationModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}
