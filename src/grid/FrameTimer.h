#pragma once

#include <QObject>
#include <QTimer>

// Coalesces any number of change requests into one callback per display frame: request() is cheap
// enough to call once per datagram, and fires() is emitted at most once per interval.
class FrameTimer : public QObject {
    Q_OBJECT
public:
    static constexpr int FrameMs = 16;

    explicit FrameTimer(QObject *parent = nullptr);

    void request() {
        if (!pending_) { // a flag of our own: asking the timer is a call into Qt's library each time
            pending_ = true;
            timer_.start();
        }
    }
    bool pending() const { return pending_; }

signals:
    void fires();

private:
    QTimer timer_;
    bool pending_ = false;
};
