#pragma once

#include <chrono>
#include <cstddef>

namespace sender {

// When each datagram of each round may go. Times are counted from the sender's start.
//
// Rounds begin on a grid of `interval` (0: each round right after the one before). Without a rate a
// whole round is due at its start. With a rate of N datagrams per second, datagram i of a round is due
// 1/N seconds after datagram i-1, and the next round never begins before the last datagram of this one
// is 1/N seconds old, so the rate holds across rounds too. The sender may send whatever is due in one
// go, at most batch() datagrams (about a millisecond of traffic, never more than MaxBatch): sleeping
// cannot be finer than that at high rates.
//
// The rate is a ceiling over any stretch of time, never an average to catch up on: a sender that falls
// more than a batch behind (stalled, descheduled, or slower than the rate) has the rest of its schedule
// moved later instead of sending a burst, and rounds missed while it stalled are dropped, not made up.
// In any window of w seconds no more than N*w + batch() + 1 datagrams are due.
class PacingSchedule {
public:
    using Time = std::chrono::nanoseconds;
    static constexpr std::size_t MaxBatch = 64;

    // rate: datagrams per second, 0 or less for none; interval: time between round starts.
    PacingSchedule(double rate, Time interval);

    std::size_t batch() const { return batch_; }
    // The earliest time the next round may begin.
    Time nextRoundStart() const;
    // Starts a round of `count` datagrams at `now`, which should be no earlier than nextRoundStart().
    // A round that starts a little late keeps its place on the schedule; one that starts more than a
    // batch late begins at `now`.
    void beginRound(std::size_t count, Time now);
    // When datagram `index` of the present round is due.
    Time due(std::size_t index) const;
    // How many datagrams from `index` on may go at `now` (0: sleep until due(index)). Moves the rest
    // of the schedule later when `now` is more than a batch past due(index).
    std::size_t ready(std::size_t index, Time now);

private:
    double rate_;
    Time interval_;
    Time gap_{0};   // between datagrams
    Time slack_{0}; // how late a datagram may be before the schedule moves
    std::size_t batch_ = MaxBatch;
    std::size_t count_ = 0;
    Time roundStart_{0};
    Time roundEnd_{0}; // one gap after the last datagram of the round
    Time nextTick_{0};
};

} // namespace sender
