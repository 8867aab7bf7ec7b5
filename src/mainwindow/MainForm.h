#pragma once

#include "desktop/TrayIcon.h"
#include "grid/FlexGrid.h"
#include "net/UdpSocket.h"
#include "reception/DatagramReception.h"
#include "sensorview/SensorViewPrefs.h"

#include <QMainWindow>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QTableView;
class SensorView;

// The main window: the traffic counters along the top and the host grid below them, fed by the UDP
// socket it owns; the File, Tools and Help menus; start-up from the settings file and shutdown.
class MainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit MainForm(QWidget *parent = nullptr);
    ~MainForm() override; // the window object's end: the tray icon is removed once more

    // Start-up: the stored port into the options dialog, the stored geometry onto the window, the
    // counters and the grid's header row, the caption, and the socket bound to the port.
    void Form_Load();
    // Shutdown, whether by File, Exit, the close box or the system.
    void Form_Unload();
    // Follows every size and state change: hides a minimized window, holds the minimum size, sizes the
    // grid and captures the geometry.
    void Form_Resize();

    void ExitMenu_Click();
    void OptionsMenu_Click();
    void StatisticsMenu_Click();
    void RulesMenu_Click();
    void AboutMenu_Click();

    // The geometry capture: Height, Width, Top and Left into the options dialog's geometry boxes.
    void captureGeometry();

    // The rules file beside the settings file: the stale time and alarm bounds for the grid, the allow
    // list for the reception, and the sensor view's remembered choices. Lines that cannot be read are
    // reported once and skipped; the rest applies.
    static QString rulesPath();
    void loadRules();
    // Writes the sensor view's choices into the rules file, leaving every other line as it is.
    void savePrefs(const SensorViewPrefs &prefs);

    // Whether a minimized window may leave the task bar: only when an icon can bring it back.
    bool canHideWhenMinimized() const;

    // Mouse events, positions in twips. A mouse move carries the tray icon's messages: the message number
    // arrives as the x position in pixels, and a left double-click (0x203) brings the window back. Every
    // one of them captures the geometry, as does the mouse over the window's bare client area.
    void Form_MouseDown(int button, int shift, float x, float y);
    void Form_MouseUp(int button, int shift, float x, float y);
    void Form_MouseMove(int button, int shift, float x, float y);

    UdpSocket DudUDP;
    FlexGrid grid;
    DatagramReception reception;
    QString windowgeometry[4]; // the stored Height, Width, Top and Left as read at start-up
    NotifyIconData trayicon;
    TrayIcon tray;

    QLabel *Label1 = nullptr; // "Bytes Received:"
    QLabel *Label2 = nullptr; // "Packets Received:"
    QLineEdit *PacketsReceived = nullptr;
    QLineEdit *ReceivedBytes = nullptr;
    QTableView *MSFlexGrid1 = nullptr;
    QMenu *FileMenu = nullptr;
    QMenu *ToolsMenu = nullptr;
    QMenu *HelpMenu = nullptr;
    QAction *ExitMenu = nullptr;
    QAction *OptionsMenu = nullptr;
    QAction *StatisticsMenu = nullptr;
    QAction *RulesMenu = nullptr;
    class RulesDialog *rulesDialog = nullptr;     // made when first asked for
    class AlarmWatch *alarms = nullptr;           // the tray's view of the critical cells, from start-up on
    class StatisticsWindow *statistics = nullptr; // made when first asked for
    QAction *AboutMenu = nullptr;
    // The "By Sensor" view in the grid's place, with its View menu and File commands.
    SensorView *sensorView = nullptr;

    // The grid's size as last set, in twips.
    float gridWidth() const { return gridWidth_; }
    float gridHeight() const { return gridHeight_; }

    static constexpr float MinHeight = 1000, MinWidth = 5000;
    static constexpr float GridWidthAllowance = 325, GridHeightAllowance = 1050;

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    void showCounters();
    void openMenuBar();
    void watchAltAlone(QEvent *event);
    void applyStoredGeometry(const float geometry[4]);
    void reapplyOnceFramed();
    void applyRules(const QString &text, bool report, bool truncated = false);

    float gridWidth_ = 12495, gridHeight_ = 2295;
    int resizeDepth_ = 0;
    // The stored geometry describes the outer frame, which the window system adds only after the first
    // show: it is applied again once the frame is known.
    bool storedGeometryPending_ = false;
    float storedGeometry_[4] = {0, 0, 0, 0};
    bool unloaded_ = false;
    bool altAlone_ = false;
};
