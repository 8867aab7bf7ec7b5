#pragma once

#include "desktop/TrayIcon.h"
#include "grid/FlexGrid.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

// Watches the grid's critical cells once a second and tells the tray: the icon carries a red badge
// while any cell is critical, its tip names the count and the worst cell ("Zar-Are on HOST - 2
// critical: render-07 CPU Temp 97.0 C"), and a cell that becomes critical raises one desktop
// notification, at most one a minute per cell.
class AlarmWatch : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 RenotifyMs = 60000;
    // Notifications per second at most; more cells entering critical at once are summed up in one.
    static constexpr int NotificationsPerCheck = 3;

    // `caption` gives the window's caption, the tip when nothing is critical; `data` is the icon's
    // record as added (its icon and tip are what is changed).
    AlarmWatch(FlexGrid &grid, TrayIcon &tray, NotifyIconData &data, std::function<QString()> caption,
               QObject *parent = nullptr);

    void setClock(std::function<qint64()> clock) { clock_ = std::move(clock); }
    // One look at the grid; the timer calls it once a second.
    void check();

    // "render-07 CPU Temp 97.0 C": the host, the trimmed sensor name, the value and its unit.
    static QString describe(const FlexGrid &grid, FlexGrid::Cell cell);
    // The window icon with a red badge in its lower right quarter.
    static QIcon badged(const QIcon &icon);

signals:
    // Each desktop notification raised, with its text.
    void notified(const QString &text);

private:
    FlexGrid &grid_;
    TrayIcon &tray_;
    NotifyIconData &data_;
    std::function<QString()> caption_;
    std::function<qint64()> clock_;
    QTimer timer_;
    QIcon plain_;
    bool badgeShown_ = false;
    QString tipShown_;
    QHash<quint64, qint64> notifiedAt_; // cell (host name hash and column) -> time of its last notification
};
