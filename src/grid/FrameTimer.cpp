#include "grid/FrameTimer.h"

FrameTimer::FrameTimer(QObject *parent) : QObject(parent) {
    timer_.setSingleShot(true);
    timer_.setInterval(FrameMs);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] {
        pending_ = false; // before: a handler's request starts the next frame
        emit fires();
    });
}
