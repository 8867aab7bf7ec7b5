#include "mainwindow/MainForm.h"

#include "about/frmAbout.h"
#include "desktop/AppIcon.h"
#include "desktop/AppIdentity.h"
#include "desktop/CellDelegate.h"
#include "desktop/DesignFont.h"
#include "desktop/LoadedForms.h"
#include "desktop/MessageBox.h"
#include "geometry/Twips.h"
#include "geometry/WindowGeometry.h"
#include "mainwindow/AlarmWatch.h"
#include "mainwindow/ComputerName.h"
#include "mainwindow/RulesDialog.h"
#include "mainwindow/StatisticsWindow.h"
#include "rules/RulesFile.h"
#include "sensorview/SensorView.h"
#include "settings/SettingsFile.h"
#include "settings/frmOptions.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QShortcut>
#include <QTableView>

#include <memory>

#include <algorithm>
#include <cmath>

namespace {
// Design-time places in the client area below the menu bar, in twips.
constexpr float GridLeft = 120, GridTop = 240, GridDesignWidth = 12495, GridDesignHeight = 2295;
constexpr float ClientWidth = 7695, ClientHeight = 2580;
constexpr float DesignLeft = 5430, DesignTop = 5085;

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

QAction *command(QMenu *menu, const char *name, const char *caption) {
    QAction *action = menu->addAction(QString::fromLatin1(caption));
    action->setObjectName(QLatin1String(name));
    return action;
}

// Whether any part of a rectangle of the desktop is on a screen.
bool onSomeScreen(const QRect &rect) {
    for (const QScreen *screen : QGuiApplication::screens())
        if (screen->geometry().intersects(rect))
            return true;
    return false;
}
} // namespace

MainForm::MainForm(QWidget *parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint),
      reception(DudUDP, grid) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(AppIdentity::title());
    LoadedForms::add(this);
    // The socket, the cells and the reception path are members, and children so that they can be found
    // by name like every other control.
    DudUDP.setParent(this);
    DudUDP.setObjectName(QStringLiteral("DudUDP"));
    grid.setParent(this);
    grid.setObjectName(QStringLiteral("MSFlexGrid1Cells"));
    reception.setParent(this);
    tray.setParent(this);
    tray.setObjectName(QStringLiteral("trayicon"));
    setWindowIcon(AppIcon::icon());

    FileMenu = menuBar()->addMenu(QStringLiteral("File"));
    FileMenu->setObjectName(QStringLiteral("FileMenu"));
    ExitMenu = command(FileMenu, "ExitMenu", "Exit");
    ToolsMenu = menuBar()->addMenu(QStringLiteral("Tools"));
    ToolsMenu->setObjectName(QStringLiteral("ToolsMenu"));
    OptionsMenu = command(ToolsMenu, "OptionsMenu", "Options");
    StatisticsMenu = command(ToolsMenu, "StatisticsMenu", "Statistics...");
    RulesMenu = command(ToolsMenu, "RulesMenu", "Rules...");
    HelpMenu = menuBar()->addMenu(QStringLiteral("Help"));
    HelpMenu->setObjectName(QStringLiteral("HelpMenu"));
    AboutMenu = command(HelpMenu, "AboutMenu", "About");
    connect(ExitMenu, &QAction::triggered, this, &MainForm::ExitMenu_Click);
    connect(OptionsMenu, &QAction::triggered, this, &MainForm::OptionsMenu_Click);
    connect(StatisticsMenu, &QAction::triggered, this, &MainForm::StatisticsMenu_Click);
    connect(RulesMenu, &QAction::triggered, this, &MainForm::RulesMenu_Click);
    connect(AboutMenu, &QAction::triggered, this, &MainForm::AboutMenu_Click);
    // The menu bar from the keyboard: F10, or Alt pressed and released on its own, opens the first menu.
    auto *f10 = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(f10, &QShortcut::activated, this, &MainForm::openMenuBar);
    qApp->installEventFilter(this);

    auto *client = new QWidget(this);
    client->setFont(DesignFont::sansSerif(8.25));
    client->setObjectName(QStringLiteral("client"));
    client->setMouseTracking(true);
    client->installEventFilter(this);
    setCentralWidget(client);

    Label2 = new QLabel(QStringLiteral("Packets Received:"), client);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(DesignFont::sansSerif(8.25, true));
    Twips::place(Label2, 120, 0, 1815, 255);

    PacketsReceived = counterBox(client, "PacketsReceived");
    Twips::place(PacketsReceived, 1800, 0, 615, 195);
    PacketsReceived->setAccessibleName(QStringLiteral("Packets Received"));
    Label2->setBuddy(PacketsReceived);

    Label1 = new QLabel(QStringLiteral("Bytes Received:"), client);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(DesignFont::sansSerif(8.25, true));
    Label1->setAlignment(Qt::AlignRight | Qt::AlignTop);
    Twips::place(Label1, 2520, 0, 1575, 255);

    ReceivedBytes = counterBox(client, "ReceivedBytes");
    Twips::place(ReceivedBytes, 4320, 0, 1095, 165);
    ReceivedBytes->setAccessibleName(QStringLiteral("Bytes Received"));
    Label1->setBuddy(ReceivedBytes);

    MSFlexGrid1 = new QTableView(client);
    MSFlexGrid1->setObjectName(QStringLiteral("MSFlexGrid1"));
    MSFlexGrid1->setModel(&grid);
    MSFlexGrid1->setItemDelegate(new CellDelegate(MSFlexGrid1));
    // Fixed row heights and column widths: a full grid of 32,767 hosts never measures its contents.
    MSFlexGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    MSFlexGrid1->verticalHeader()->setDefaultSectionSize(MSFlexGrid1->fontMetrics().height() + 4);
    MSFlexGrid1->verticalHeader()->setMinimumWidth(Twips::toPixelsX(1200, this));
    MSFlexGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    MSFlexGrid1->horizontalHeader()->setDefaultSectionSize(Twips::toPixelsX(1000, this));
    MSFlexGrid1->setWordWrap(false);
    MSFlexGrid1->setAccessibleName(QStringLiteral("Hosts"));
    MSFlexGrid1->setTabKeyNavigation(false); // Tab leaves the grid; the arrow keys walk it
    Twips::place(MSFlexGrid1, GridLeft, GridTop, GridDesignWidth, GridDesignHeight);
    sensorView = new SensorView({this, MSFlexGrid1, FileMenu, ExitMenu, HelpMenu}, grid, reception.hostGrid);
    connect(sensorView, &SensorView::prefsChanged, this, &MainForm::savePrefs);

    resize(Twips::toPixelsX(ClientWidth, this),
           Twips::toPixelsY(ClientHeight, this) + menuBar()->sizeHint().height());
    move(Twips::toPixelsX(DesignLeft, this), Twips::toPixelsY(DesignTop, this));

    frmOptions::setContext(this, &DudUDP);
    connect(&reception, &DatagramReception::countersChanged, this, &MainForm::showCounters);
    connect(&tray, &TrayIcon::message, this,
            [this](int message) { Form_MouseMove(0, 0, float(message) * Twips::perPixelX(this), 0); });
}

MainForm::~MainForm() {
    // Hidden while the grid and the reception still exist: the window's base would hide its children
    // only after they are gone, and hiding the views lays them out, which reads the grid.
    hide();
    tray.remove();
    // Nothing may reach the dialog's context after the window is gone.
    if (frmOptions::instance())
        frmOptions::unload();
    frmOptions::setContext(nullptr, nullptr);
}

void MainForm::Form_Load() {
    frmOptions::ref()->LoadConfig();

    const SettingsFile::ReadResult stored = SettingsFile::read(SettingsFile::path());
    if (stored.status == SettingsFile::Status::Complete) {
        windowgeometry[0] = stored.record.height;
        windowgeometry[1] = stored.record.width;
        windowgeometry[2] = stored.record.top;
        windowgeometry[3] = stored.record.left;
        applyStoredGeometry(stored.geometry);
    }

    reception.PacketsReceived.setText(QStringLiteral("0"));
    reception.ReceivedBytes.setText(QStringLiteral("0"));
    showCounters();
    reception.hostGrid.reset();
    reception.hostGrid.writeHeaderRow();
    grid.flush();
    loadRules();

    setWindowTitle(QStringLiteral("Zar-Are on ") + GetLocalComputerName());
    QApplication::setApplicationName(AppIdentity::title());

    trayicon.cbSize = 88;
    trayicon.hWnd = this;
    trayicon.uID = 1;
    trayicon.uFlags = NotifyIconData::NifMessage | NotifyIconData::NifIcon | NotifyIconData::NifTip;
    trayicon.uCallbackMessage = 0x200;
    trayicon.hIcon = windowIcon();
    trayicon.szTip = NotifyIconData::tipField(windowTitle());
    tray.add(trayicon);
    if (!alarms)
        alarms = new AlarmWatch(
            grid, tray, trayicon, [this] { return windowTitle(); }, this);

    QString error;
    if (!DudUDP.Bind(frmOptions::ref()->portvalue->text(), &error))
        MessageBox::warn(this, error);
}

QString MainForm::rulesPath() {
    return QFileInfo(SettingsFile::path()).absolutePath() + QLatin1Char('/') +
           QLatin1String(RulesFile::FileName);
}

namespace {
// The keywords of the rules file that the allow list and the sensor view read.
RulesFile::Extensions extensionsInto(std::shared_ptr<AllowList> allow,
                                     std::shared_ptr<SensorViewPrefs> prefs) {
    return {
        {[](QStringView keyword) {
             return keyword.compare(QLatin1String("allow"), Qt::CaseInsensitive) == 0;
         },
         [allow](QStringView, QStringView networks, QString *error) {
             const QList<QStringView> each = networks.split(QLatin1Char(' '), Qt::SkipEmptyParts);
             if (each.isEmpty()) {
                 *error = QStringLiteral("\"allow\" needs a network such as 192.0.2.0/24");
                 return false;
             }
             AllowList added = *allow;
             for (QStringView network : each)
                 if (!added.add(network, error))
                     return false;
             *allow = added;
             return true;
         }},
        {&SensorViewPrefs::handles,
         [prefs](QStringView keyword, QStringView arguments, QString *error) {
             return prefs->parse(keyword, arguments, error);
         }},
    };
}
} // namespace

void MainForm::loadRules() {
    const QString path = rulesPath();
    QString failure;
    bool truncated = false;
    const QString text = RulesFile::readText(path, &truncated, &failure);
    if (!failure.isEmpty())
        MessageBox::warn(this, QStringLiteral("%1 could not be read: %2").arg(path, failure));
    applyRules(text, true, truncated);
}

void MainForm::applyRules(const QString &text, bool report, bool truncated) {
    auto allow = std::make_shared<AllowList>();
    auto prefs = std::make_shared<SensorViewPrefs>();
    RulesFile::Parsed parsed = RulesFile::parse(text, extensionsInto(allow, prefs));
    parsed.truncated = truncated;
    grid.setRules(parsed.rules);
    reception.setAllowList(*allow);
    sensorView->setPrefs(*prefs);
    if (report && (!parsed.errors.empty() || parsed.truncated))
        MessageBox::warn(this, RulesFile::errorMessage(rulesPath(), parsed));
}

void MainForm::savePrefs(const SensorViewPrefs &prefs) {
    const QString path = rulesPath();
    QString failure;
    bool truncated = false;
    const QString text = RulesFile::readText(path, &truncated, &failure);
    QString reason = failure;
    if (reason.isEmpty() && (truncated || text.contains(QChar(0xFFFD))))
        reason = QStringLiteral("it is not a rules file this program can rewrite without losing lines");
    if (reason.isEmpty()) {
        const QString changed = RulesFile::replaceLines(text, &SensorViewPrefs::handles, prefs.lines());
        if (changed == text || RulesFile::write(path, changed, &reason))
            return;
    }
    MessageBox::warn(this,
                     QStringLiteral("The view's choices could not be saved in %1: %2").arg(path, reason));
}

void MainForm::RulesMenu_Click() {
    if (!rulesDialog) {
        rulesDialog = new RulesDialog(
            rulesPath(),
            [] {
                // Checking only: what the lines would set is thrown away.
                return extensionsInto(std::make_shared<AllowList>(), std::make_shared<SensorViewPrefs>());
            },
            this);
        connect(rulesDialog, &RulesDialog::saved, this,
                [this](const QString &text) { applyRules(text, false); });
    } else {
        rulesDialog->reload();
    }
    rulesDialog->show();
    rulesDialog->raise();
    rulesDialog->activateWindow();
}

void MainForm::reapplyOnceFramed() {
    if (!storedGeometryPending_ || !isVisible() || frameGeometry().size() == size())
        return;
    storedGeometryPending_ = false;
    applyStoredGeometry(storedGeometry_);
}

void MainForm::applyStoredGeometry(const float geometry[4]) {
    if (!isVisible()) {
        std::copy(geometry, geometry + 4, storedGeometry_);
        storedGeometryPending_ = true;
    }
    // A stored size larger than the whole desktop is brought down to it: the window's edges could not be
    // reached to make it smaller.
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QSize desktop = screen ? screen->availableVirtualSize() : QSize(Twips::MaxPixels, Twips::MaxPixels);
    const float height = std::min(geometry[0], Twips::fromPixelsY(desktop.height(), this));
    const float width = std::min(geometry[1], Twips::fromPixelsX(desktop.width(), this));
    // A shown window runs the resize handling from its resize event; before the first show the window
    // gets no resize events, so it is run here after each change of size.
    WindowGeometry::setHeight(this, height);
    if (!isVisible())
        Form_Resize();
    WindowGeometry::setWidth(this, width);
    if (!isVisible())
        Form_Resize();
    // A place where no screen would show any of the window keeps the design-time place: the window
    // would otherwise be lost to the user.
    const QRect wanted(Twips::toPixelsX(geometry[3], this), Twips::toPixelsY(geometry[2], this),
                       frameGeometry().width(), frameGeometry().height());
    if (!onSomeScreen(wanted))
        return;
    WindowGeometry::setTop(this, geometry[2]);
    WindowGeometry::setLeft(this, geometry[3]);
}

void MainForm::Form_Unload() {
    if (unloaded_)
        return;
    unloaded_ = true;
    tray.remove();
    QCoreApplication::processEvents();
    frmOptions::unload();
    frmOptions::setContext(nullptr, nullptr);
    if (statistics)
        statistics->close();
}

void MainForm::closeEvent(QCloseEvent *event) {
    Form_Unload();
    event->accept();
}

void MainForm::ExitMenu_Click() {
    frmOptions::unload();
    close();
}

void MainForm::OptionsMenu_Click() {
    frmOptions *options = frmOptions::ref();
    options->LoadConfig();
    options->show();
    options->raise();
    options->activateWindow();
}

void MainForm::StatisticsMenu_Click() {
    if (!statistics)
        statistics = new StatisticsWindow([this] { return reception.statistics(); }, this);
    statistics->show();
    statistics->raise();
    statistics->activateWindow();
}

void MainForm::AboutMenu_Click() {
    frmAbout::showModeless();
}

void MainForm::captureGeometry() {
    if (unloaded_)
        return;
    frmOptions::ref()->captureGeometry();
}

bool MainForm::canHideWhenMinimized() const {
    return tray.isShown();
}

void MainForm::Form_MouseMove(int, int, float x, float) {
    // The x position in pixels, rounded half to even, is the icon's mouse message.
    const double m = std::nearbyint(double(x) / double(Twips::perPixelX(this)));
    if (m == TrayIcon::LeftDoubleClick) {
        setWindowState(Qt::WindowNoState);
        show();
        raise();
        activateWindow();
    }
    captureGeometry();
}

void MainForm::Form_MouseDown(int, int, float, float) {
    captureGeometry();
}

void MainForm::Form_MouseUp(int, int, float, float) {
    captureGeometry();
}

void MainForm::openMenuBar() {
    menuBar()->setActiveAction(FileMenu->menuAction());
}

void MainForm::watchAltAlone(QEvent *event) {
    // Alt pressed and released with no other key between opens the menu bar, whichever control of
    // this window has the focus, unless the style's own menu-bar navigation has taken it by then.
    // Window systems differ on whether the Alt press carries the modifier.
    const auto *key = static_cast<QKeyEvent *>(event);
    if (event->type() == QEvent::KeyPress) {
        altAlone_ = key->key() == Qt::Key_Alt && (key->modifiers() & ~Qt::AltModifier) == Qt::NoModifier;
    } else if (key->key() == Qt::Key_Alt && altAlone_) {
        altAlone_ = false;
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (!menuBar()->activeAction())
                    openMenuBar();
            },
            Qt::QueuedConnection);
    } else if (!key->isAutoRepeat()) {
        altAlone_ = false;
    }
}

bool MainForm::eventFilter(QObject *watched, QEvent *event) {
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) &&
        watched->isWidgetType() && static_cast<QWidget *>(watched)->window() == this)
        watchAltAlone(event);
    // The mouse over the bare client area only refreshes the geometry boxes; the icon's messages come
    // through the tray (a move at pixel column 515 is no double-click here).
    if (watched == centralWidget()) {
        const auto type = event->type();
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
            type == QEvent::MouseMove)
            captureGeometry();
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainForm::Form_Resize() {
    if (isMinimized()) {
        // Hidden once the minimize is complete: hiding inside the state change would be undone by a
        // showMinimized() still under way.
        if (canHideWhenMinimized())
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (isMinimized() && canHideWhenMinimized())
                        hide();
                },
                Qt::QueuedConnection);
        return;
    }
    // Holding the minimum size resizes the window, which runs this again inside; the outer run then
    // reads the final size afresh. The depth bound keeps a window system that refuses the size from
    // bouncing us forever.
    ++resizeDepth_;
    if (resizeDepth_ <= 3) {
        if (WindowGeometry::height(this) < MinHeight)
            WindowGeometry::setHeight(this, MinHeight);
        if (WindowGeometry::width(this) < MinWidth)
            WindowGeometry::setWidth(this, MinWidth);
    }
    --resizeDepth_;
    gridWidth_ = WindowGeometry::width(this) - GridWidthAllowance;
    gridHeight_ = qMax(0.0f, WindowGeometry::height(this) - GridHeightAllowance);
    MSFlexGrid1->resize(Twips::toPixelsX(gridWidth_, this), Twips::toPixelsY(gridHeight_, this));
    sensorView->followReadings();
    captureGeometry();
}

void MainForm::resizeEvent(QResizeEvent *event) {
    QMainWindow::resizeEvent(event);
    Form_Resize();
    reapplyOnceFramed();
}

void MainForm::showEvent(QShowEvent *event) {
    QMainWindow::showEvent(event);
    reapplyOnceFramed();
}

void MainForm::moveEvent(QMoveEvent *event) {
    QMainWindow::moveEvent(event);
    reapplyOnceFramed();
}

void MainForm::changeEvent(QEvent *event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

void MainForm::showCounters() {
    PacketsReceived->setText(reception.PacketsReceived.text());
    ReceivedBytes->setText(reception.ReceivedBytes.text());
    // A count wider than its box widens the box, and a wider packet count moves the byte counter and
    // its label to the right: the leading digits must never be out of sight.
    const auto fit = [this](QLineEdit *box, float designLeft, float designWidth, int shift) {
        const int needed = box->fontMetrics().horizontalAdvance(box->text()) + 4;
        box->setGeometry(Twips::toPixelsX(designLeft, this) + shift, box->y(),
                         std::max(Twips::toPixelsX(designWidth, this), needed), box->height());
        box->setCursorPosition(0);
    };
    fit(PacketsReceived, 1800, 615, 0);
    const int labelLeft = Twips::toPixelsX(2520, this);
    const int labelText =
        labelLeft + Label1->width() - Label1->fontMetrics().horizontalAdvance(Label1->text());
    const int shift = std::max(0, PacketsReceived->geometry().right() + 6 - labelText);
    Label1->move(labelLeft + shift, Label1->y());
    fit(ReceivedBytes, 4320, 1095, shift);
}
