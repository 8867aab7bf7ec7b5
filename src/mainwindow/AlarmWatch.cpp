#include "mainwindow/AlarmWatch.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QPixmap>

namespace {
qint64 monotonicMs() {
    QElapsedTimer t;
    t.start();
    return t.msecsSinceReference();
}
} // namespace

AlarmWatch::AlarmWatch(FlexGrid &grid, TrayIcon &tray, NotifyIconData &data, std::function<QString()> caption,
                       QObject *parent)
    : QObject(parent), grid_(grid), tray_(tray), data_(data), caption_(std::move(caption)),
      clock_(monotonicMs) {
    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &AlarmWatch::check);
    timer_.start();
}

QString AlarmWatch::describe(const FlexGrid &grid, FlexGrid::Cell cell) {
    QString text = grid.textAt(cell.row, 0) + QLatin1Char(' ') +
                   grid.textAt(cell.row, cell.col - 1).trimmed() + QLatin1Char(' ') +
                   grid.textAt(cell.row, cell.col).trimmed();
    const QStringView unit = grid.unitAt(cell.row, cell.col);
    if (!unit.isEmpty()) {
        text += QLatin1Char(' ');
        text += unit;
    }
    return text;
}

QIcon AlarmWatch::badged(const QIcon &icon) {
    QIcon out;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap = icon.pixmap(size, size);
        if (pixmap.isNull()) {
            pixmap = QPixmap(size, size);
            pixmap.fill(Qt::transparent);
        }
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal d = pixmap.width() / 2.0;
        painter.setPen(QPen(Qt::white, qMax(1.0, d / 8)));
        painter.setBrush(QColor(220, 0, 0));
        painter.drawEllipse(QRectF(pixmap.width() - d, pixmap.height() - d, d - 0.5, d - 0.5));
        painter.end();
        out.addPixmap(pixmap);
    }
    return out;
}

void AlarmWatch::check() {
    const qint64 now = clock_();
    const int count = grid_.criticalCount();
    FlexGrid::Cell worst{0, 0};
    QString tip = caption_();
    if (count > 0 && grid_.worstCritical(&worst))
        tip += QStringLiteral(" - %1 critical: %2").arg(count).arg(describe(grid_, worst));
    const bool badge = count > 0;
    if (badge != badgeShown_ || tip != tipShown_) {
        if (badge != badgeShown_) { // the badge is drawn only when it comes or goes
            if (badge)
                plain_ = data_.hIcon;
            data_.hIcon = badge ? badged(plain_) : plain_;
        }
        // The record keeps the caption's tip; the alarm's longer tip is set beside it, so that the
        // worst cell is not cut off at the record's 63 characters.
        data_.szTip = NotifyIconData::tipField(caption_());
        data_.uFlags = NotifyIconData::NifIcon | NotifyIconData::NifTip;
        tray_.modify(data_);
        data_.uFlags |= NotifyIconData::NifMessage; // the record as the window added it
        if (badge)
            tray_.setLongToolTip(tip.left(TrayIcon::LongTipChars));
        badgeShown_ = badge;
        tipShown_ = tip;
    }

    // One notification per cell that became critical, unless it had one in the last minute. A cell is
    // known by its host and column, so that a host's row moving does not notify again.
    QStringList lines;
    int more = 0;
    for (const FlexGrid::Cell cell : grid_.takeEnteredCritical(&more)) {
        if (cell.row >= grid_.Rows() || grid_.alarmAt(cell.row, cell.col) != AlarmLevel::Critical)
            continue; // gone, or no longer critical
        const quint64 key = quint64(qHash(grid_.textAt(cell.row, 0))) << 8 | quint64(cell.col);
        const auto last = notifiedAt_.constFind(key);
        if (last != notifiedAt_.cend() && now - last.value() < RenotifyMs)
            continue;
        notifiedAt_.insert(key, now);
        if (lines.size() < NotificationsPerCheck)
            lines << describe(grid_, cell);
        else
            ++more;
    }
    if (!lines.isEmpty()) {
        QString text = lines.join(QLatin1Char('\n'));
        if (more > 0)
            text += QStringLiteral("\nand %1 more").arg(more);
        tray_.showMessage(QStringLiteral("Critical"), text);
        emit notified(text);
    }
    // Forget what was notified long ago, so that the table does not grow without bound.
    if (notifiedAt_.size() > 4096)
        for (auto it = notifiedAt_.begin(); it != notifiedAt_.end();)
            it = now - it.value() >= RenotifyMs ? notifiedAt_.erase(it) : std::next(it);
}
