#pragma once

#include <QIcon>
#include <QObject>
#include <QRect>
#include <QString>

#include <memory>

class QSystemTrayIcon;
class QWidget;

// The notification-area icon's record: which window it belongs to, its identifier, which members are
// valid, the message its mouse actions are reported with, its image and its tip.
struct NotifyIconData {
    static constexpr int TipChars = 64;
    static constexpr quint32 NifMessage = 1, NifIcon = 2, NifTip = 4;

    quint32 cbSize = 88;
    QWidget *hWnd = nullptr;
    quint32 uID = 1;
    quint32 uFlags = NifMessage | NifIcon | NifTip;
    quint32 uCallbackMessage = 0x200; // reported as a mouse move of the window
    QIcon hIcon;
    QString szTip; // TipChars characters: the text, one NUL, then spaces

    // The tip field for a caption: at most 63 characters of it, a NUL, filled up with spaces.
    static QString tipField(const QString &caption);
    // What the tip shows: the field up to its NUL.
    QString tipText() const;
};

// The icon in the notification area. Add and Delete may be called any number of times; a second add
// of a shown icon, or a delete of one that is gone, does nothing. Mouse actions on the icon come out as
// the window mouse messages they stand for (left double-click 0x203, left click 0x202, context click
// 0x205, middle click 0x208).
class TrayIcon : public QObject {
    Q_OBJECT
public:
    static constexpr int LeftDoubleClick = 0x203, LeftButtonUp = 0x202, RightButtonUp = 0x205,
                         MiddleButtonUp = 0x208;

    explicit TrayIcon(QObject *parent = nullptr);
    ~TrayIcon() override;

    bool add(const NotifyIconData &data);
    bool remove();
    // Changes the icon and the tip of a shown icon (the members uFlags names); false when none is shown.
    bool modify(const NotifyIconData &data);
    // A tip longer than the record's (the notification area of later systems shows this many
    // characters), until the next modify with a tip.
    static constexpr int LongTipChars = 127;
    void setLongToolTip(const QString &tip);
    // A desktop notification from the icon, where the notification area shows them.
    void showMessage(const QString &title, const QString &text);
    bool isAdded() const { return icon_ != nullptr; }
    // Whether the icon is on screen now: added, and a notification area exists to show it.
    bool isShown() const;
    QString toolTip() const;
    // Where the icon is on screen, when the notification area tells.
    QRect geometry() const;

    // For tests and the window's own mouse handling: reports a mouse message as the icon would.
    void simulate(int mouseMessage) { emit message(mouseMessage); }

signals:
    void message(int mouseMessage);

private:
    std::unique_ptr<QSystemTrayIcon> icon_;
};
