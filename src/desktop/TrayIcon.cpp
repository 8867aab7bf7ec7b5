#include "desktop/TrayIcon.h"

#include <QSystemTrayIcon>

QString NotifyIconData::tipField(const QString &caption) {
    QString field = caption.left(TipChars - 1);
    field += QChar(0);
    field += QString(TipChars - field.size(), QLatin1Char(' '));
    return field;
}

QString NotifyIconData::tipText() const {
    const qsizetype nul = szTip.indexOf(QChar(0));
    return nul < 0 ? szTip.left(TipChars) : szTip.left(nul);
}

TrayIcon::TrayIcon(QObject *parent) : QObject(parent) {}

TrayIcon::~TrayIcon() = default;

bool TrayIcon::add(const NotifyIconData &data) {
    if (icon_)
        return false;
    icon_ = std::make_unique<QSystemTrayIcon>();
    if (data.uFlags & NotifyIconData::NifIcon)
        icon_->setIcon(data.hIcon);
    if (data.uFlags & NotifyIconData::NifTip)
        icon_->setToolTip(data.tipText());
    if (data.uFlags & NotifyIconData::NifMessage) {
        connect(icon_.get(), &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason why) {
                    switch (why) {
                    case QSystemTrayIcon::DoubleClick:
                        emit message(LeftDoubleClick);
                        break;
                    case QSystemTrayIcon::Trigger:
                        emit message(LeftButtonUp);
                        break;
                    case QSystemTrayIcon::Context:
                        emit message(RightButtonUp);
                        break;
                    case QSystemTrayIcon::MiddleClick:
                        emit message(MiddleButtonUp);
                        break;
                    case QSystemTrayIcon::Unknown:
                        break;
                    }
                });
    }
    icon_->show();
    return true;
}

bool TrayIcon::remove() {
    if (!icon_)
        return false;
    icon_->hide();
    icon_.reset();
    return true;
}

bool TrayIcon::modify(const NotifyIconData &data) {
    if (!icon_)
        return false;
    if (data.uFlags & NotifyIconData::NifIcon)
        icon_->setIcon(data.hIcon);
    if (data.uFlags & NotifyIconData::NifTip)
        icon_->setToolTip(data.tipText());
    return true;
}

void TrayIcon::setLongToolTip(const QString &tip) {
    if (icon_)
        icon_->setToolTip(tip.left(LongTipChars));
}

void TrayIcon::showMessage(const QString &title, const QString &text) {
    if (icon_)
        icon_->showMessage(title, text, QSystemTrayIcon::Critical);
}

bool TrayIcon::isShown() const {
    return icon_ && icon_->isVisible() && QSystemTrayIcon::isSystemTrayAvailable();
}

QString TrayIcon::toolTip() const {
    return icon_ ? icon_->toolTip() : QString();
}

QRect TrayIcon::geometry() const {
    return icon_ ? icon_->geometry() : QRect();
}
