#include "PacingSchedule.h"

#include <algorithm>
#include <cmath>

namespace sender {

PacingSchedule::PacingSchedule(double rate, Time interval)
    : rate_(rate > 0 ? rate : 0), interval_(std::max(interval, Time(0))) {
    if (rate_ > 0) {
        gap_ = Time(std::llround(1e9 / rate_));
        // About a millisecond of traffic at once.
        batch_ = std::clamp<std::size_t>(std::size_t(rate_ / 1000.0), 1, MaxBatch);
        slack_ = gap_ * std::int64_t(batch_);
    }
}

PacingSchedule::Time PacingSchedule::nextRoundStart() const {
    return std::max(nextTick_, roundEnd_);
}

void PacingSchedule::beginRound(std::size_t count, Time now) {
    Time start = nextRoundStart();
    if (now - start > slack_)
        start = now;
    roundStart_ = start;
    count_ = count;
    roundEnd_ = start + gap_ * std::int64_t(count);
    // The next tick after this start; ticks missed in a stall are skipped.
    if (interval_ > Time(0)) {
        if (nextTick_ <= start)
            nextTick_ += interval_ * ((start - nextTick_) / interval_ + 1);
    } else {
        nextTick_ = start;
    }
}

PacingSchedule::Time PacingSchedule::due(std::size_t index) const {
    return roundStart_ + gap_ * std::int64_t(index);
}

std::size_t PacingSchedule::ready(std::size_t index, Time now) {
    if (index >= count_)
        return 0;
    if (rate_ <= 0)
        return now >= roundStart_ ? std::min(batch_, count_ - index) : 0;
    if (now < due(index))
        return 0;
    if (const Time late = now - due(index); late > slack_) {
        roundStart_ += late;
        roundEnd_ += late;
    }
    std::size_t n = 1;
    while (index + n < count_ && n < batch_ && due(index + n) <= now)
        ++n;
    return n;
}

} // namespace sender
